#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include "cli/console_arguments.h"
#include "cli/console_host.h"
#include "cli/job_sources.h"
#include "core/abort_flag.h"
#include "core/allocator_tuning.h"
#include "core/app_locations.h"
#include "core/error.h"
#include "core/native_path.h"
#include "core/read_file.h"
#include "engine/batch_run.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "engine/sources_opened_ahead.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "settings/extraction_options.h"
#include "settings/settings_file.h"

namespace mx::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitError = 1;

// Messages may name paths; their bytes that are not text are shown with stand-ins.
void printText(std::FILE* stream, const QString& text) {
    std::fputs(displayPath(text).toUtf8().constData(), stream);
}

// The arguments after the program name by their own bytes (QCoreApplication::arguments()
// turns bytes that are not UTF-8 into replacement characters, naming files that do not exist).
QStringList nativeArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << decodeNativePath(argv[i]);
    }
    return args;
}

// The record a run of files uses: the plain run's options (or the settings file's with
// --settings), then the count, the format and -o as given, then the options in their order.
void applyOptions(ExtractionOptions& options, const SingleFileRun& run) {
    if (run.settingsFile) {
        const QString file = run.settingsFile->isEmpty() ? settingsFilePath() : *run.settingsFile;
        // LoadSettings would take a missing file for the defaults, which save nothing.
        if (const ReadableFile opened = openRegularFile(file); !opened) {
            throw Error(QStringLiteral("Cannot read the settings file %1: %2")
                            .arg(file, opened.errorText()));
        }
        LoadSettings(options, file);
    } else {
        options.setFlag(OptionField::rbFrameFile, true);
        options.setFlag(OptionField::rbProport, true);
        options.setFlag(OptionField::rbAutoWidth, true);
        options.setFlag(OptionField::chkAddNumber, true);
        options.setFlag(OptionField::chkFolder, false);
        options.setFlag(OptionField::chkSec, false);
        options.setFlag(OptionField::chktime, false);
        options.setFlag(OptionField::chkFilename, false);
        options.setJpgTrackBar(75);
        options.setText(OptionField::pathEdit, run.outputDir);
    }
    if (run.outputGiven) {
        options.setText(OptionField::pathEdit, run.outputDir);
    }
    if (run.format == QLatin1String("bmp")) {
        options.setFlag(OptionField::BMPBtn, true);
    } else if (run.format == QLatin1String("jpg")) {
        options.setFlag(OptionField::JPGBtn, true);
    }
    if (run.frames) {
        options.setText(OptionField::FrameNumberEdit, QString::number(*run.frames));
    }
    for (const auto& edit : run.edits) {
        edit(options);
    }
}

struct EngineExtras {
    int width = 0;
    int height = 0;
    QString format;  // a format the window's buttons do not offer, or empty
    bool quiet = false;
};

// Runs the jobs as the window's "Start extract" does, each file through the engine, with the
// options as they stand. A job that gives none of its frames is named on standard error and
// makes the exit code 1; the run goes on with the next one. Returns the exit code.
int runJobs(const JobList& jobs, ExtractionOptions& options, const EngineExtras& extras) {
    ConsoleHost host(extras.quiet ? nullptr : stdout, progressTerminal());
    FrameTally tally;
    // The next job's file is opened and probed while this one decodes.
    SourcesOpenedAhead ahead(createFfmpegVideoSource);
    ExtractionEngine engine(host, options, tally.wrap(ahead.factory()));
    engine.setSaveSize(extras.width, extras.height);
    engine.setFormatOverride(extras.format);
    bool anyFailed = false;
    BatchRun(
        // A signal taken while the jobs were gathered still stops the run the batch starts.
        host, jobs, [] { AbortFlag.store(stopSignalTaken()); },
        openingNextAhead(ahead, jobs, [&](const QString& path) {
            tally.startJob();
            engine.run(path);
            if (tally.gaveNoFrames() && !AbortFlag.load()) {
                anyFailed = true;
                host.reportProblem(
                    (QStringLiteral("No frames from ") + displayPath(path)).toUtf8());
            }
        }));
    if (AbortFlag.load()) {
        return interruptedExitCode();
    }
    return anyFailed ? kExitError : 0;
}

int runSingleFile(const SingleFileRun& run) {
    ExtractionOptions options;
    applyOptions(options, run);
    JobList jobs;
    for (const QString& path : expandSourceArguments(run.files)) {
        jobs.add(path);
    }
    if (!run.saveList.isEmpty()) {
        try {
            writeJobListFile(run.saveList, jobs, options);
        } catch (const Error& e) {
            // The window's dialog shows the file; a terminal needs its name in the message.
            throw Error(
                QStringLiteral("Cannot write the job list %1: %2").arg(run.saveList, e.message()));
        }
        return 0;
    }
    if (run.outputGiven && !options.chkFolder() && !makeFolders(run.outputDir)) {
        throw Error(QStringLiteral("Cannot create folder %1: %2")
                        .arg(run.outputDir, QString::fromLocal8Bit(std::strerror(errno))));
    }
    const bool buttonFormat = run.format.isEmpty() || run.format == QLatin1String("bmp") ||
                              run.format == QLatin1String("jpg");
    return runJobs(jobs, options,
                   {run.width, run.height, buttonFormat ? QString() : run.format, run.quiet});
}

int runJobList(const JobListRun& run) {
    ExtractionOptions options;
    JobList jobs;
    if (!readJobListFile(run.listFile, jobs, options).optionsFound) {
        throw Error(QStringLiteral("The job list %1 ends before its options").arg(run.listFile));
    }
    options.setGoodFrames(run.goodFrames);
    EngineExtras extras;
    extras.quiet = run.quiet;
    return runJobs(jobs, options, extras);
}

// Qt warns on standard error when the session has no runtime folder (as under cron, ssh or a
// container); give it a private one so the tool's error output holds only its own messages.
void quietRuntimeFolderWarning() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    const QString folder =
        QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(getuid());
    if (QDir().mkpath(folder) &&
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());
    }
}

// The working folder by its own bytes.
QString currentFolder() {
    std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? decodeNativePath(folder.get()) : QDir::currentPath();
}

}  // namespace
}  // namespace mx::cli

int main(int argc, char** argv) {
    using namespace mx::cli;
    installInterruptHandler();
    // Fonts for the overlay need a GUI application; it must not need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    quietRuntimeFolderWarning();
    mx::tuneAllocatorForLargeFrames();
    QGuiApplication app(argc, argv);
    const ConsoleCommand command =
        parseConsoleArguments(nativeArguments(argc, argv), currentFolder());

    if (std::holds_alternative<ShowHelp>(command)) {
        printText(stdout, consoleUsage());
        return 0;
    }
    if (std::holds_alternative<ShowVersion>(command)) {
        printText(stdout, consoleVersion());
        return 0;
    }
    if (const auto* error = std::get_if<UsageError>(&command)) {
        if (!error->problem.isEmpty()) {
            printText(stderr, error->problem + QLatin1Char('\n'));
        }
        printText(stderr, consoleUsage());
        return kExitUsage;
    }
    try {
        if (const auto* list = std::get_if<JobListRun>(&command)) {
            return runJobList(*list);
        }
        return runSingleFile(std::get<SingleFileRun>(command));
    } catch (const mx::Error& e) {
        printText(stderr, e.message() + QLatin1Char('\n'));
    } catch (const std::exception& e) {
        printText(stderr, QString::fromLocal8Bit(e.what()) + QLatin1Char('\n'));
    }
    return kExitError;
}
