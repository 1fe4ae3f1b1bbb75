#include "cli/console_arguments.h"

#include <QDir>

#include "core/int_text.h"

namespace mx::cli {
namespace {

bool readSizeOption(const QString& arg, const QStringList& args, qsizetype& i, int* size,
                    QString* problem) {
    QString value = arg.mid(2);
    if (value.isEmpty()) {
        if (i + 1 >= args.size()) {
            *problem = arg + QStringLiteral(" needs a number");
            return false;
        }
        value = args[++i];
    }
    const auto number = tryStrToInt(value);
    if (!number || *number < 0) {
        *problem = QStringLiteral("'") + value + QStringLiteral("' is not a valid size");
        return false;
    }
    *size = *number;
    return true;
}

QString withoutTrailingSlashes(QString path) {
    while (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

}  // namespace

QString consoleUsage() {
    // The first two lines keep the bytes of the program's own usage text (LF before CR and
    // the trailing blank included).
    return QStringLiteral(
        "Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n\r"
        "Example: mx_cons video.avi 15 jpg -w640 -h480 \n"
        "More files: mx_cons <file or folder>... <Number Frames> <jpg/bmp>  a folder gives its\n"
        "          video files and those of its subfolders, as \"Add Folder\" finds them\n"
        "Option: -o DIR  write the frames into DIR instead of the current folder\n"
        "Option: --good-frames  replace a black, blank, flat or blurred frame, or one caught in\n"
        "          a cut or fade, by the nearest good one within half the spacing of the frames\n"
        "          (also with a job list; on a contact sheet, also a tile like an earlier one)\n"
        "Job list: mx_cons <list.mxl>  runs the jobs of a job list file with the options it\n"
        "          carries (the settings file of the windowed program is not read)\n"
        "Exit status: 0 done; 1 an error, or a file that gave none of its frames (each such\n"
        "          file named on standard error, the run going on); 2 a usage error;\n"
        "          130 stopped by Ctrl-C. --version prints the version.\n");
}

QString consoleVersion() {
    return QStringLiteral("mx_cons " MX_VERSION "\n");
}

ConsoleCommand parseConsoleArguments(const QStringList& args, const QString& currentDir) {
    if (args.isEmpty()) {
        return UsageError{};
    }
    QStringList positional;
    QString outputDir = currentDir;
    bool outputGiven = false;
    int width = 0;
    int height = 0;
    bool optionsEnded = false;
    bool goodFrames = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-?")) {
            return ShowHelp{};
        } else if (arg == QLatin1String("--version")) {
            return ShowVersion{};
        } else if (arg == QLatin1String("--good-frames")) {
            goodFrames = true;
        } else if (arg.startsWith(QLatin1String("-o"))) {
            QString dir = arg.mid(2);
            if (dir.isEmpty()) {
                if (i + 1 >= args.size()) {
                    return UsageError{QStringLiteral("-o needs a folder")};
                }
                dir = args[++i];
            }
            // Against the given folder, as strings: Qt's file classes would mangle bytes of
            // the path that are not UTF-8.
            outputDir = QDir::cleanPath(
                QDir::isAbsolutePath(dir) ? dir : currentDir + QLatin1Char('/') + dir);
            outputGiven = true;
        } else if (arg.startsWith(QLatin1String("-w")) || arg.startsWith(QLatin1String("-h"))) {
            QString problem;
            int* size = arg.startsWith(QLatin1String("-w")) ? &width : &height;
            if (!readSizeOption(arg, args, i, size, &problem)) {
                return UsageError{problem};
            }
        } else {
            return UsageError{QStringLiteral("Unknown option ") + arg};
        }
    }
    if (positional.size() == 1) {
        if (!positional[0].endsWith(QLatin1String(".mxl"), Qt::CaseInsensitive)) {
            return UsageError{QStringLiteral("'") + positional[0] +
                              QStringLiteral("' is not a job list file (*.mxl)")};
        }
        // A job list carries its own options, output folder and sizes included.
        if (outputGiven || width > 0 || height > 0) {
            return UsageError{QStringLiteral("A job list takes no options")};
        }
        return JobListRun{positional[0], goodFrames};
    }
    if (positional.size() < 3) {
        return UsageError{QStringLiteral("Expected <file>... <Number Frames> <jpg|bmp>")};
    }
    const QString& framesText = positional[positional.size() - 2];
    const QString& formatText = positional.back();
    SingleFileRun run;
    run.files = positional.mid(0, positional.size() - 2);
    const auto frames = tryStrToInt(framesText);
    if (!frames || *frames < 0) {
        return UsageError{QStringLiteral("'") + framesText +
                          QStringLiteral("' is not a valid number of frames")};
    }
    run.frames = *frames;
    run.format = formatText.toLower();
    if (run.format != QLatin1String("jpg") && run.format != QLatin1String("bmp")) {
        return UsageError{QStringLiteral("'") + formatText + QStringLiteral("' is not jpg or bmp")};
    }
    run.outputDir = withoutTrailingSlashes(outputDir);
    run.width = width;
    run.height = height;
    run.goodFrames = goodFrames;
    return run;
}

}  // namespace mx::cli
