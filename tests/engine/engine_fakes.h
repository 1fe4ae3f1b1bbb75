#pragma once

#include <QByteArray>
#include <QColor>
#include <QStringList>
#include <functional>
#include <ostream>
#include <vector>

#include "engine/engine_host.h"
#include "engine/video_source.h"
#include "settings/extraction_options.h"

namespace mx::test {

// A packed DIB: 40-byte header, `gap` filler bytes (masks, colour table), then the pixels,
// rows padded to 4 bytes unless packedRows. pixel(x, y) gives the colour of the picture's
// (top-down) row y.
QByteArray makeDib(int width, int height, int bits, const std::function<QRgb(int, int)>& pixel,
                   int gap = 0, bool packedRows = false);
// A flat grey 32-bit bottom-up picture.
QByteArray greyDib(int width, int height, int grey);

// A video the engine can be pointed at through factory(): records what the engine does with
// it and hands out pictures from picture(position). Every source the factory makes shares it.
struct FakeMedia {
    int width = 64;
    int height = 48;
    double duration = 120;
    // The picture at a position; false for a failed picture request. Default: greyDib whose
    // grey is the rounded position.
    std::function<bool(double position, QByteArray* dib)> picture;

    int opens = 0;
    QString openedPath;
    std::vector<double> seeks;
    int imageRequests = 0;
    // Every plan handed to a source: its length, and its positions one plan after another.
    std::vector<size_t> planSizes;
    std::vector<double> planned;
    int closes = 0;

    VideoSourceFactory factory();
    // The seeks made by the capture loop: without the engine's seek to 1 s at the open.
    std::vector<double> captureSeeks() const;
};

// The window side of the engine, written down.
class RecordingHost : public EngineHost {
public:
    void logMessage(const QString& text) override { rows << text; }
    void setFileProgressMax(int maximum) override { progressMax = maximum; }
    void setFileProgressPos(int position) override { progressPositions.push_back(position); }
    void setCaptionAndTitle(const QString& text) override { captions << text; }
    void processMessages() override {
        ++pumps;
        if (onPump) {
            onPump(pumps);
        }
    }

    QStringList rows;
    int progressMax = -1;
    std::vector<int> progressPositions;
    QStringList captions;
    int pumps = 0;
    std::function<void(int pump)> onPump;
};

// Sets each listed flag true; a group-exclusive flag clears the others of its group.
void setFlags(ExtractionOptions& options, std::initializer_list<OptionField> fields);
// Clears every member of the frame-method and extract-method groups.
void clearMethodGroups(ExtractionOptions& options);

}  // namespace mx::test

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << "{ ";
    for (const QString& text : list) {
        PrintTo(text, out);
        *out << ' ';
    }
    *out << '}';
}
