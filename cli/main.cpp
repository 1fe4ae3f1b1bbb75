#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "cli/console_arguments.h"
#include "cli/console_host.h"
#include "cli/job_sources.h"
#include "core/abort_flag.h"
#include "core/allocator_tuning.h"
#include "core/error.h"
#include "core/native_path.h"
#include "engine/batch_run.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "settings/extraction_options.h"

namespace mx::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitError = 1;
constexpr int kExitInterrupted = 130;

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

void applyOptions(ExtractionOptions& options, const SingleFileRun& run) {
    options.setFlag(run.format == QLatin1String("bmp") ? OptionField::BMPBtn : OptionField::JPGBtn,
                    true);
    options.setFlag(OptionField::rbFrameFile, true);
    options.setFlag(OptionField::rbProport, true);
    options.setFlag(OptionField::rbAutoWidth, true);
    options.setFlag(OptionField::chkAddNumber, true);
    options.setFlag(OptionField::chkFolder, false);
    options.setFlag(OptionField::chkSec, false);
    options.setFlag(OptionField::chktime, false);
    options.setFlag(OptionField::chkFilename, false);
    options.setJpgTrackBar(75);
    options.setText(OptionField::FrameNumberEdit, QString::number(run.frames));
    options.setText(OptionField::pathEdit, run.outputDir);
    options.setGoodFrames(run.goodFrames);
}

// Runs the jobs as the window's "Start extract" does, each file through the engine, with the
// options as they stand. A job that gives none of its frames is named on standard error and
// makes the exit code 1; the run goes on with the next one. Returns the exit code.
int runJobs(const JobList& jobs, ExtractionOptions& options, int width = 0, int height = 0) {
    ConsoleHost host(stdout, progressTerminal());
    FrameTally tally;
    ExtractionEngine engine(host, options, tally.wrap(createFfmpegVideoSource));
    engine.setSaveSize(width, height);
    bool anyFailed = false;
    BatchRun(
        host, jobs, [] {},
        [&](const QString& path) {
            tally.startJob();
            engine.run(path);
            if (tally.gaveNoFrames() && !AbortFlag.load()) {
                anyFailed = true;
                host.reportProblem((QStringLiteral("No frames from ") + displayPath(path)).toUtf8());
            }
        });
    if (AbortFlag.load()) {
        return kExitInterrupted;
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
    return runJobs(jobs, options, run.width, run.height);
}

int runJobList(const JobListRun& run) {
    ExtractionOptions options;
    JobList jobs;
    if (!readJobListFile(run.listFile, jobs, options).optionsFound) {
        throw Error(QStringLiteral("The job list %1 ends before its options").arg(run.listFile));
    }
    options.setGoodFrames(run.goodFrames);
    return runJobs(jobs, options);
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
    installInterruptHandler();
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
