#!/usr/bin/env python3
"""Fails when program code hands a path to one of Qt's file classes.

Qt converts a path with QFile::encodeName, which turns the lossless mapping of bytes that are not
UTF-8 (core/native_path.h) into "?" or U+FFFD: the file it opens, lists or stats is not the one
meant. Every open, stat and listing of a path that may come from the file system or the user goes
through core's byte-path functions instead; the few uses of Qt's classes on paths that are never
byte-mapped (Qt resources, fixed ASCII paths) are listed below with the reason.

Usage: check_qt_file_classes.py <source root>. Prints each offending line; exits 1 when any.
"""
import pathlib
import re
import sys

# The classes and calls that read or write the file system by a path, or hand back a path
# decoded with stand-ins.
FILE_USE = re.compile(
    r"\b(QFile|QFileInfo|QDir|QDirIterator|QSaveFile|QTemporaryFile|QTemporaryDir|QLockFile"
    r"|QFileSystemModel|QFileSystemWatcher|QStorageInfo|QSettings)\b"
    r"|\bQFileDialog::get\w+|\bselectedFiles\(|\bselectedUrls\(|\btoLocalFile\("
    r"|\bapplicationDirPath\(|\bapplicationFilePath\(")

# Text functions that never touch the file system.
TEXT_ONLY = re.compile(r"\bQDir::(cleanPath|isAbsolutePath|isRelativePath|rootPath)\(")

# (file, what the line holds, why it is safe)
ALLOWED = [
    ("widgets/native_file_dialog.cpp", r"selectedFiles\(\)", "mapped back to their bytes here"),
    ("i18n/form_table.cpp", r'QFile file\(QStringLiteral\(":/', "a Qt resource"),
    ("i18n/language_manager.cpp", r"QFile resource\(QString::fromLatin1\(kConstants",
     "a Qt resource"),
    ("widgets/design_scale.cpp", r"QFile::exists\(QString::fromLatin1\(kDesignFacePath\)\)",
     "a fixed ASCII path"),
    ("core/program_folder.cpp", r"QCoreApplication::applicationDirPath\(\)",
     "only where /proc cannot be read"),
    ("core/program_folder.cpp", r"QCoreApplication::applicationFilePath\(\)",
     "only where /proc cannot be read"),
    ("cli/main.cpp", r"QDir::tempPath\(\) \+ QStringLiteral\(\"/runtime-\"\)",
     "Qt's own runtime folder, for Qt alone"),
    ("cli/main.cpp", r"QDir\(\)\.mkpath\(folder\)", "Qt's own runtime folder, for Qt alone"),
    ("cli/main.cpp", r"QFile::setPermissions\(folder, .*",
     "Qt's own runtime folder, for Qt alone"),
    ("cli/main.cpp", r": QDir::currentPath\(\);", "only where getcwd fails"),
]

PROGRAM_FOLDERS = ["app", "cli", "core", "engine", "help", "i18n", "joblist", "settings", "widgets"]
NOT_PROGRAM = ["i18n/tools/"]  # build tools, run on the checkout's own ASCII paths


def code_of(line):
    """The line without its // comment."""
    return line.split("//", 1)[0]


def main():
    root = pathlib.Path(sys.argv[1])
    problems = []
    for folder in PROGRAM_FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            relative = path.relative_to(root).as_posix()
            if any(relative.startswith(prefix) for prefix in NOT_PROGRAM):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                code = code_of(line)
                if code.lstrip().startswith("#include") or not FILE_USE.search(code):
                    continue
                rest = TEXT_ONLY.sub("", code)
                for file, pattern, _ in ALLOWED:
                    if file == relative:
                        rest = re.sub(pattern, "", rest)
                if FILE_USE.search(rest):
                    problems.append(f"{relative}:{number}: {line.strip()}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} use(s) of Qt's file classes on a path; use core's byte-path "
              "functions (core/native_path.h, core/read_file.h)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
