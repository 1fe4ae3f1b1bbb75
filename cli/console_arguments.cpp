#include "cli/console_arguments.h"

#include <QFileInfo>

#include "core/int_text.h"

namespace mx::cli {
namespace {

bool readSizeOption(const QString& arg, const QStringList& args, qsizetype& i, QString* problem) {
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
        "Option: -o DIR  write the frames into DIR instead of the current folder\n");
}

ConsoleCommand parseConsoleArguments(const QStringList& args, const QString& currentDir) {
    if (args.isEmpty()) {
        return UsageError{};
    }
    QStringList positional;
    QString outputDir = currentDir;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-?")) {
            return ShowHelp{};
        } else if (arg.startsWith(QLatin1String("-o"))) {
            QString dir = arg.mid(2);
            if (dir.isEmpty()) {
                if (i + 1 >= args.size()) {
                    return UsageError{QStringLiteral("-o needs a folder")};
                }
                dir = args[++i];
            }
            outputDir = QFileInfo(dir).absoluteFilePath();
        } else if (arg.startsWith(QLatin1String("-w")) || arg.startsWith(QLatin1String("-h"))) {
            QString problem;
            if (!readSizeOption(arg, args, i, &problem)) {
                return UsageError{problem};
            }
        } else {
            return UsageError{QStringLiteral("Unknown option ") + arg};
        }
    }
    // A job list file alone (`mx_cons <list.mxl>`) is the place for a second form.
    if (positional.size() != 3) {
        return UsageError{QStringLiteral("Expected <file> <Number Frames> <jpg|bmp>")};
    }
    SingleFileRun run;
    run.file = positional[0];
    const auto frames = tryStrToInt(positional[1]);
    if (!frames || *frames < 0) {
        return UsageError{QStringLiteral("'") + positional[1] +
                          QStringLiteral("' is not a valid number of frames")};
    }
    run.frames = *frames;
    run.format = positional[2].toLower();
    if (run.format != QLatin1String("jpg") && run.format != QLatin1String("bmp")) {
        return UsageError{QStringLiteral("'") + positional[2] +
                          QStringLiteral("' is not jpg or bmp")};
    }
    run.outputDir = withoutTrailingSlashes(outputDir);
    return run;
}

}  // namespace mx::cli
