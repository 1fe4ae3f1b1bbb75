#include "cli/console_arguments.h"

#include <QDir>
#include <algorithm>
#include <iterator>

#include "core/int_text.h"
#include "engine/image_files.h"
#include "settings/extraction_options.h"

namespace mx::cli {
namespace {

struct Parsed {
    SingleFileRun run;
    QString currentDir;
    QStringList given;  // long names of the options given, in order
    bool help = false;
    bool version = false;

    bool has(const char* name) const { return given.contains(QLatin1String(name)); }
};

enum class Value {
    None,
    Required,  // "--name value", "--name=value", "-x value", "-xvalue"
    Attached,  // optional, and then only as "--name=value"
};

// One command-line option. Adding an option is adding a row to kOptions.
struct OptionRow {
    const char* name;  // the long name, without "--"
    char letter;       // the short name, 0 for none
    Value value;
    const char* valueName;  // the value as the usage shows it
    const char* help;       // one line of the usage
    // Takes the option (and its value, empty for none) into the run; returns what is wrong
    // with the value, or an empty text.
    QString (*apply)(Parsed&, const QString&);
};

// Against the given folder, as strings: Qt's file classes would mangle bytes of the path that
// are not UTF-8.
QString absolutePath(const QString& path, const QString& folder) {
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : folder + QLatin1Char('/') + path);
}

QString withoutTrailingSlashes(QString path) {
    while (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

// A whole number within [low, high], or none.
std::optional<int> numberIn(const QString& text, int low, int high) {
    const auto number = tryStrToInt(text);
    if (!number || *number < low || *number > high) {
        return std::nullopt;
    }
    return *number;
}

QString notA(const QString& value, const char* what) {
    return QStringLiteral("'") + value + QStringLiteral("' is not ") + QLatin1String(what);
}

void addEdit(Parsed& parsed, std::function<void(ExtractionOptions&)> edit) {
    parsed.run.edits.push_back(std::move(edit));
}

template <OptionField field, bool value>
QString setFlag(Parsed& parsed, const QString&) {
    addEdit(parsed, [](ExtractionOptions& options) { options.setFlag(field, value); });
    return {};
}

QString setOutput(Parsed& parsed, const QString& value) {
    parsed.run.outputDir = absolutePath(value, parsed.currentDir);
    parsed.run.outputGiven = true;
    return {};
}

QString setQuality(Parsed& parsed, const QString& value) {
    const auto quality = numberIn(value, 0, 100);
    if (!quality) {
        return notA(value, "a quality from 0 to 100");
    }
    addEdit(parsed, [q = *quality](ExtractionOptions& options) { options.setJpgTrackBar(q); });
    return {};
}

QString setEvery(Parsed& parsed, const QString& value) {
    const auto seconds = numberIn(value, 1, INT32_MAX);
    if (!seconds) {
        return notA(value, "a number of seconds above 0");
    }
    addEdit(parsed, [text = QString::number(*seconds)](ExtractionOptions& options) {
        options.setFlag(OptionField::rbEverSec, true);
        options.setText(OptionField::edtEverSec, text);
    });
    return {};
}

QString setStart(Parsed& parsed, const QString& value) {
    const auto seconds = numberIn(value, 0, INT32_MAX);
    if (!seconds) {
        return notA(value, "a number of seconds");
    }
    addEdit(parsed, [text = QString::number(*seconds)](ExtractionOptions& options) {
        options.setText(OptionField::edtSecStart, text);
    });
    return {};
}

QString setSize(int& size, const QString& value) {
    const auto number = numberIn(value, 0, INT32_MAX);
    if (!number) {
        return notA(value, "a valid size");
    }
    size = *number;
    return {};
}

const OptionRow kOptions[] = {
    {"output", 'o', Value::Required, "DIR",
     "write into DIR (made when missing) instead of the current folder", setOutput},
    {"width", 'w', Value::Required, "N", "scale the saved frames to N pixels wide",
     [](Parsed& parsed, const QString& value) { return setSize(parsed.run.width, value); }},
    {"height", 'h', Value::Required, "N", "scale the saved frames to N pixels high",
     [](Parsed& parsed, const QString& value) { return setSize(parsed.run.height, value); }},
    {"quality", 'q', Value::Required, "N", "JPEG and WebP quality, 0 to 100 (75)", setQuality},
    {"sheet", 0, Value::None, nullptr, "one 3 x 3 contact sheet per file",
     setFlag<OptionField::rbMatrix, true>},
    {"random", 0, Value::None, nullptr, "random positions instead of evenly spread ones",
     setFlag<OptionField::rbRandom, true>},
    {"every", 0, Value::Required, "S", "a frame every S seconds, the first S after --start",
     setEvery},
    {"start", 0, Value::Required, "S", "with --every: the second counted from (1)", setStart},
    {"stamp-time", 0, Value::None, nullptr, "draw the time of the frame on it",
     setFlag<OptionField::chktime, true>},
    {"stamp-name", 0, Value::None, nullptr, "draw the file name on the frame",
     setFlag<OptionField::chkFilename, true>},
    {"seconds", 0, Value::None, nullptr, "add the frame's second to its name: clip_00001_000012",
     setFlag<OptionField::chkSec, true>},
    {"no-number", 0, Value::None, nullptr, "no frame number in the names",
     setFlag<OptionField::chkAddNumber, false>},
    {"beside", 0, Value::None, nullptr, "write beside each source instead of -o's folder",
     setFlag<OptionField::chkFolder, true>},
    {"good-frames", 0, Value::None, nullptr,
     "move a black, blank, flat, blurred or cut frame to a good one nearby",
     [](Parsed& parsed, const QString&) {
         parsed.run.goodFrames = true;
         addEdit(parsed, [](ExtractionOptions& options) { options.setGoodFrames(true); });
         return QString();
     }},
    {"settings", 0, Value::Attached, "FILE",
     "take the options of the window's settings file (or FILE) first",
     [](Parsed& parsed, const QString& value) {
         parsed.run.settingsFile = value;
         return QString();
     }},
    {"save-list", 0, Value::Required, "FILE",
     "write the job list the arguments describe to FILE, run nothing",
     [](Parsed& parsed, const QString& value) {
         parsed.run.saveList = value;
         return QString();
     }},
    {"quiet", 0, Value::None, nullptr, "no log rows on standard output (errors still shown)",
     [](Parsed& parsed, const QString&) {
         parsed.run.quiet = true;
         return QString();
     }},
    {"help", '?', Value::None, nullptr, "print this text",
     [](Parsed& parsed, const QString&) {
         parsed.help = true;
         return QString();
     }},
    {"version", 0, Value::None, nullptr, "print the version",
     [](Parsed& parsed, const QString&) {
         parsed.version = true;
         return QString();
     }},
};

const OptionRow* optionNamed(const QString& name) {
    const auto row =
        std::find_if(std::begin(kOptions), std::end(kOptions),
                     [&](const OptionRow& r) { return name == QLatin1String(r.name); });
    return row == std::end(kOptions) ? nullptr : row;
}

const OptionRow* optionLettered(QChar letter) {
    const auto row =
        std::find_if(std::begin(kOptions), std::end(kOptions),
                     [&](const OptionRow& r) { return r.letter && letter == r.letter; });
    return row == std::end(kOptions) ? nullptr : row;
}

QString missingValueText(const QString& spelled, const OptionRow& row) {
    const QLatin1String valueName(row.valueName);
    const QString what = valueName == QLatin1String("DIR")    ? QStringLiteral("a folder")
                         : valueName == QLatin1String("FILE") ? QStringLiteral("a file")
                                                              : QStringLiteral("a number");
    return spelled + QStringLiteral(" needs ") + what;
}

// Reads the option at args[i] (and its value, which may be the next argument) into parsed.
// Returns the problem, or an empty text.
QString readOption(const QStringList& args, qsizetype& i, Parsed& parsed) {
    const QString& arg = args[i];
    const OptionRow* row = nullptr;
    QString spelled;
    std::optional<QString> value;
    if (arg.startsWith(QLatin1String("--"))) {
        const QString body = arg.mid(2);
        const qsizetype equals = body.indexOf(QLatin1Char('='));
        spelled = QStringLiteral("--") + body.left(equals);
        row = optionNamed(body.left(equals));
        if (!row) {
            return QStringLiteral("Unknown option ") + spelled;
        }
        if (equals >= 0) {
            if (row->value == Value::None) {
                return spelled + QStringLiteral(" takes no value");
            }
            value = body.mid(equals + 1);
        }
    } else {
        const QString body = arg.mid(1);
        // "-output" would otherwise be -o with the folder "utput".
        if (body.size() > 1 && optionNamed(body)) {
            return QStringLiteral("Unknown option ") + arg +
                   QStringLiteral(" (long options take two dashes: -") + arg + QLatin1Char(')');
        }
        spelled = arg.left(2);
        row = optionLettered(body[0]);
        if (!row || (row->value == Value::None && body.size() > 1)) {
            return QStringLiteral("Unknown option ") + (row ? arg : spelled);
        }
        if (body.size() > 1) {
            value = body.mid(1);
        }
    }
    if (!value && row->value == Value::Required) {
        if (i + 1 >= args.size()) {
            return missingValueText(spelled, *row);
        }
        value = args[++i];
    }
    parsed.given << QLatin1String(row->name);
    return row->apply(parsed, value.value_or(QString()));
}

UsageError expectedForms() {
    return UsageError{QStringLiteral("Expected <file>... <Number Frames> <bmp|jpg|png|webp>")};
}

// Takes the format and the count from the end of the positional arguments, the rest being the
// files. --settings may give both, --sheet and --every need no count; then each is taken only
// when the argument looks like one.
std::optional<UsageError> readPositionals(QStringList positional, Parsed& parsed) {
    SingleFileRun& run = parsed.run;
    const bool fromSettings = run.settingsFile.has_value();
    const bool countOptional = fromSettings || parsed.has("sheet") || parsed.has("every");
    if (!fromSettings) {
        if (positional.size() < (countOptional ? 2 : 3)) {
            return expectedForms();
        }
        run.format = positional.takeLast();
    } else if (positional.size() > 1 && isImageFormat(positional.back().toLower())) {
        run.format = positional.takeLast();
    }
    if (!run.format.isEmpty() && !isImageFormat(run.format.toLower())) {
        return UsageError{notA(run.format, "bmp, jpg, png or webp")};
    }
    run.format = run.format.toLower();
    if (!countOptional || (positional.size() > 1 && tryStrToInt(positional.back()))) {
        const QString framesText = positional.takeLast();
        run.frames = numberIn(framesText, 0, INT32_MAX);
        if (!run.frames) {
            return UsageError{notA(framesText, "a valid number of frames")};
        }
    }
    if (positional.isEmpty()) {
        return expectedForms();
    }
    run.files = positional;
    return std::nullopt;
}

// What the options say of each other.
std::optional<UsageError> checkCombinations(const Parsed& parsed) {
    if (parsed.has("sheet") && parsed.has("every")) {
        return UsageError{QStringLiteral("--sheet and --every exclude each other")};
    }
    if (parsed.has("start") && !parsed.has("every") && !parsed.run.settingsFile) {
        return UsageError{QStringLiteral("--start needs --every")};
    }
    return std::nullopt;
}

// What a job list can carry, and paths that hold wherever it is opened.
std::optional<UsageError> prepareSavedList(Parsed& parsed) {
    SingleFileRun& run = parsed.run;
    if (!run.saveList.isEmpty()) {
        if (run.format == QLatin1String("png") || run.format == QLatin1String("webp")) {
            return UsageError{
                QStringLiteral("--save-list: a job list carries no png or webp format")};
        }
        if (run.width > 0 || run.height > 0) {
            return UsageError{QStringLiteral("--save-list: a job list carries no -w or -h")};
        }
        if (run.goodFrames) {
            return UsageError{QStringLiteral("--save-list: a job list carries no --good-frames")};
        }
        // The list is opened from elsewhere: its paths must not depend on this folder.
        for (QString& file : run.files) {
            file = absolutePath(file, parsed.currentDir);
        }
    }
    return std::nullopt;
}

}  // namespace

QString consoleUsage() {
    // The first two lines keep the bytes of the program's own usage text (LF before CR and
    // the trailing blank included).
    QString text = QStringLiteral(
        "Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n\r"
        "Example: mx_cons video.avi 15 jpg -w640 -h480 \n"
        "More files: mx_cons [options] <file or folder>... <Number Frames> <bmp|jpg|png|webp>\n"
        "          a folder gives its video files and those of its subfolders, as \"Add\n"
        "          Folder\" finds them; --sheet, --every and --settings need no number,\n"
        "          --settings no format\n"
        "Job list: mx_cons [--quiet] <list.mxl>  runs the jobs of a job list file with the\n"
        "          options it carries (the settings file of the windowed program is not read)\n"
        "Options (-h is the height; --help is the help; -- ends the options):\n");
    for (const OptionRow& row : kOptions) {
        QString left = row.letter ? QStringLiteral("  -%1, ").arg(QLatin1Char(row.letter))
                                  : QStringLiteral("      ");
        left += QStringLiteral("--") + QLatin1String(row.name);
        if (row.value == Value::Required) {
            left += QLatin1Char(' ') + QLatin1String(row.valueName);
        } else if (row.value == Value::Attached) {
            left += QStringLiteral("[=") + QLatin1String(row.valueName) + QLatin1Char(']');
        }
        text += left.leftJustified(24) + QLatin1String(row.help) + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "Exit status: 0 done; 1 an error, or a file that gave none of its frames (each such\n"
        "          file named on standard error, the run going on); 2 a usage error;\n"
        "          130 stopped by Ctrl-C. --version prints the version.\n");
    return text;
}

QString consoleVersion() {
    return QStringLiteral("mx_cons " MX_VERSION "\n");
}

ConsoleCommand parseConsoleArguments(const QStringList& args, const QString& currentDir) {
    if (args.isEmpty()) {
        return UsageError{};
    }
    Parsed parsed;
    parsed.currentDir = currentDir;
    parsed.run.outputDir = currentDir;
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (const QString problem = readOption(args, i, parsed); !problem.isEmpty()) {
            return UsageError{problem};
        } else if (parsed.help) {
            return ShowHelp{};
        } else if (parsed.version) {
            return ShowVersion{};
        }
    }
    // Options a job list run takes besides its file.
    const bool onlyQuiet =
        std::all_of(parsed.given.begin(), parsed.given.end(), [](const QString& name) {
            return name == QLatin1String("quiet") || name == QLatin1String("good-frames");
        });
    if (positional.size() == 1 &&
        (onlyQuiet || positional[0].endsWith(QLatin1String(".mxl"), Qt::CaseInsensitive))) {
        if (!positional[0].endsWith(QLatin1String(".mxl"), Qt::CaseInsensitive)) {
            return UsageError{QStringLiteral("'") + positional[0] +
                              QStringLiteral("' is not a job list file (*.mxl)")};
        }
        // A job list carries its own options, output folder and sizes included.
        if (!onlyQuiet) {
            return UsageError{QStringLiteral("A job list takes no options")};
        }
        return JobListRun{positional[0], parsed.run.quiet, parsed.run.goodFrames};
    }
    if (auto error = checkCombinations(parsed)) {
        return *error;
    }
    if (auto error = readPositionals(positional, parsed)) {
        return *error;
    }
    if (auto error = prepareSavedList(parsed)) {
        return *error;
    }
    parsed.run.outputDir = withoutTrailingSlashes(parsed.run.outputDir);
    return parsed.run;
}

}  // namespace mx::cli
