#pragma once

#include <QString>
#include <QStringList>
#include <variant>

namespace mx::cli {

// `mx_cons <file>... <Number Frames> <jpg|bmp> [-w<Width>] [-h<Height>] [-o DIR]`: that many
// frames of each file at proportional positions, numbered, into DIR (the current folder by
// default). -w/-h scale every saved frame; with one of them the aspect ratio is kept. A folder
// among the files stands for the video files found in it and its subfolders.
struct SingleFileRun {
    QStringList files;  // files and folders, as given
    int frames = 0;
    QString format;     // "jpg" or "bmp"
    QString outputDir;  // absolute, without a trailing "/"
    int width = 0;      // 0: not given
    int height = 0;
    bool goodFrames = false;
};

// `mx_cons <list.mxl>`: the jobs of a job list file, with the options the file carries. A
// single argument is always taken as a job list, so one that does not name a "*.mxl" file is
// a usage error.
struct JobListRun {
    QString listFile;
    bool goodFrames = false;
};

struct ShowHelp {};
struct ShowVersion {};

struct UsageError {
    QString problem;  // one line saying what was wrong; empty when nothing was given
};

using ConsoleCommand = std::variant<SingleFileRun, JobListRun, ShowHelp, ShowVersion, UsageError>;

// Reads the command line (without the program name). currentDir stands for "." when no
// output folder is given.
ConsoleCommand parseConsoleArguments(const QStringList& args, const QString& currentDir);

// The usage text, ending with a line feed.
QString consoleUsage();

// "mx_cons <version>" and a line feed.
QString consoleVersion();

}  // namespace mx::cli
