// Stand-in for the console tool's job list form while it is being written: one contact sheet
// of a file through the extraction engine in Matrix mode (Proportional, Auto Width, JPEG 75),
// as a job list file with those options would make it.
//
//   sheet_bench <file> <output folder>

#include <QGuiApplication>
#include <cstdio>

#include "engine/engine_host.h"
#include "engine/extraction_engine.h"
#include "engine/ffmpeg/ffmpeg_video_source.h"
#include "settings/extraction_options.h"

namespace {

class QuietHost : public mx::EngineHost {
public:
    void logMessage(const QString&) override {}
    void setFileProgressMax(int) override {}
    void setFileProgressPos(int) override {}
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override {}
};

}  // namespace

int main(int argc, char** argv) {
    // The header text needs a GUI application; it must not need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: sheet_bench <file> <output folder>\n");
        return 2;
    }
    mx::ExtractionOptions options;
    for (mx::OptionField field : {mx::OptionField::JPGBtn, mx::OptionField::rbMatrix,
                                  mx::OptionField::rbProport, mx::OptionField::rbAutoWidth}) {
        options.setFlag(field, true);
    }
    options.setJpgTrackBar(75);
    options.setText(mx::OptionField::FrameNumberEdit, QStringLiteral("9"));
    options.setText(mx::OptionField::pathEdit, QString::fromLocal8Bit(argv[2]));
    QuietHost host;
    mx::ExtractionEngine engine(host, options, mx::createFfmpegVideoSource);
    engine.run(QString::fromLocal8Bit(argv[1]));
    return 0;
}
