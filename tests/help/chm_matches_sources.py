#!/usr/bin/env python3
"""Checks that a compiled help file holds exactly the files of its source folder.

Usage: chm_matches_sources.py FILE.chm CONTENT_FOLDER

The file list comes from the help file's own directory (its PMGL chunks), read here without
any CHM library. Every source file except the project file (*.hhp) must be in the help file
and the help file must hold nothing else (names starting with "#" or "$" are its own
bookkeeping, as is the note "_#_README_#_" the compiler adds). When 7z is at hand, the stored bytes of each file are compared as well, so an
edited topic without a rebuilt help file fails too.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def encint(data, pos):
    """A CHM variable-length integer: 7 bits a byte, most significant first."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def chm_names(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"ITSF":
        raise ValueError("not a compiled help file")
    dir_offset, dir_length = struct.unpack_from("<QQ", data, 0x48)
    itsp = data[dir_offset:dir_offset + dir_length]
    if itsp[:4] != b"ITSP":
        raise ValueError("no directory header")
    header_length, = struct.unpack_from("<I", itsp, 0x08)
    chunk_size, = struct.unpack_from("<I", itsp, 0x10)
    first_pmgl, = struct.unpack_from("<i", itsp, 0x20)
    names = []
    chunk = first_pmgl
    seen = set()
    while chunk != -1:
        if chunk in seen:
            raise ValueError("directory chunks form a loop")
        seen.add(chunk)
        start = header_length + chunk * chunk_size
        block = itsp[start:start + chunk_size]
        if block[:4] != b"PMGL":
            raise ValueError("directory chunk %d is not a listing chunk" % chunk)
        free_space, = struct.unpack_from("<I", block, 0x04)
        next_chunk, = struct.unpack_from("<i", block, 0x10)
        pos, end = 0x14, chunk_size - free_space
        while pos < end:
            length, pos = encint(block, pos)
            name = block[pos:pos + length].decode("utf-8")
            pos += length
            _section, pos = encint(block, pos)
            _offset, pos = encint(block, pos)
            _size, pos = encint(block, pos)
            names.append(name)
        chunk = next_chunk
    return names


def stored_files(names):
    """The user files: "/topic.htm", not folders, not the help file's own entries."""
    files = set()
    for name in names:
        if not name.startswith("/") or name.endswith("/"):
            continue
        base = name[1:]
        if base.startswith("#") or base.startswith("$") or base == "_#_README_#_":
            continue
        files.add(base)
    return files


def source_files(folder):
    files = set()
    for root, _dirs, entries in os.walk(folder):
        for entry in entries:
            if entry.lower().endswith(".hhp"):
                continue
            files.add(os.path.relpath(os.path.join(root, entry), folder).replace(os.sep, "/"))
    return files


def main():
    chm, folder = sys.argv[1], sys.argv[2]
    problems = []
    stored = stored_files(chm_names(chm))
    sources = source_files(folder)
    for name in sorted(sources - stored):
        problems.append("%s is not in the help file" % name)
    for name in sorted(stored - sources):
        problems.append("%s is in the help file but not among the sources" % name)
    seven = shutil.which("7z")
    if seven and not problems:
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([seven, "x", "-y", "-o" + out, chm], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for name in sorted(sources):
                with open(os.path.join(folder, name), "rb") as a, \
                        open(os.path.join(out, name), "rb") as b:
                    if a.read() != b.read():
                        problems.append("%s differs from its source" % name)
    elif not seven:
        print("7z not found: only the list of files was compared")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print("Rebuild the help file (see README, \"The help file\")", file=sys.stderr)
        return 1
    print("%d files match" % len(sources))
    return 0


if __name__ == "__main__":
    sys.exit(main())
