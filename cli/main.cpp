#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <exception>

#include "cli/console_arguments.h"
#include "cli/console_host.h"
#include "core/abort_flag.h"
#include "core/error.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "settings/extraction_options.h"

namespace mx::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitError = 1;
constexpr int kExitInterrupted = 130;

void printText(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
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
}

// One source file through the engine, with the rows a batch writes around each file. A job
// list run calls this once per file.
void extractFile(ExtractionEngine& engine, EngineHost& host, const QString& path) {
    host.logMessage(QStringLiteral("open-") + path);
    if (AbortFlag.load()) {
        return;
    }
    engine.run(path);
}

int runSingleFile(const SingleFileRun& run) {
    ConsoleHost host;
    ExtractionOptions options;
    applyOptions(options, run);
    ExtractionEngine engine(host, options, createFfmpegVideoSource);
    host.logMessage(QStringLiteral("Start extract"));
    extractFile(engine, host, run.file);
    const bool aborted = AbortFlag.load();
    if (aborted) {
        host.logMessage(QStringLiteral("Aborted."));
    }
    host.logMessage(QStringLiteral("Extract complete."));
    return aborted ? kExitInterrupted : 0;
}

}  // namespace
}  // namespace mx::cli

int main(int argc, char** argv) {
    using namespace mx::cli;
    // Fonts for the overlay need a GUI application; it must not need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const ConsoleCommand command =
        parseConsoleArguments(QCoreApplication::arguments().mid(1), QDir::currentPath());

    if (std::holds_alternative<ShowHelp>(command)) {
        printText(stdout, consoleUsage());
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
        return runSingleFile(std::get<SingleFileRun>(command));
    } catch (const mx::Error& e) {
        printText(stderr, e.message() + QLatin1Char('\n'));
    } catch (const std::exception& e) {
        printText(stderr, QString::fromLocal8Bit(e.what()) + QLatin1Char('\n'));
    }
    return kExitError;
}
