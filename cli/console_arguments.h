#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace mx {
class ExtractionOptions;
}

namespace mx::cli {

// `mx_cons [options] <file>... <Number Frames> <format> [-w<Width>] [-h<Height>] [-o DIR]`: that
// many frames of each file at proportional positions, numbered, into DIR (the current folder by
// default). -w/-h scale every saved frame; with one of them the aspect ratio is kept. A folder
// among the files stands for the video files found in it and its subfolders. The options change
// the record on top of that plain run, or on top of the window's settings with --settings.
struct SingleFileRun {
    QStringList files;          // files and folders, as given (absolute with --save-list)
    std::optional<int> frames;  // not given: the settings' or the record's own count
    QString format;             // "bmp", "jpg", "png" or "webp"; empty: the settings' format
    QString outputDir;          // absolute, without a trailing "/"
    bool outputGiven = false;   // -o: outputDir is made when missing, and wins over settings
    int width = 0;              // 0: not given
    int height = 0;
    bool quiet = false;
    bool goodFrames = false;
    std::optional<QString> settingsFile;  // --settings; empty: the window's own settings file
    QString saveList;                     // --save-list FILE: write the list, run nothing
    // The record options in command-line order, applied after everything above.
    std::vector<std::function<void(ExtractionOptions&)>> edits;
};

// `mx_cons [--quiet] <list.mxl>`: the jobs of a job list file, with the options the file
// carries. A single argument is always taken as a job list, so one that does not name a
// "*.mxl" file is a usage error.
struct JobListRun {
    QString listFile;
    bool quiet = false;
    bool goodFrames = false;  // the one record option a job list cannot carry
};

struct ShowHelp {};
struct ShowVersion {};

struct UsageError {
    QString problem;  // one line saying what was wrong; empty when nothing was given
};

using ConsoleCommand = std::variant<SingleFileRun, JobListRun, ShowHelp, ShowVersion, UsageError>;

// Reads the command line (without the program name) by GNU rules: options anywhere, long ones
// as "--name value" or "--name=value", short ones as "-x value" or "-xvalue", "--" ends them,
// and a name is never guessed from its beginning. currentDir stands for "." when no output
// folder is given.
ConsoleCommand parseConsoleArguments(const QStringList& args, const QString& currentDir);

// The usage text, ending with a line feed.
QString consoleUsage();

// "mx_cons <version>" and a line feed.
QString consoleVersion();

}  // namespace mx::cli
