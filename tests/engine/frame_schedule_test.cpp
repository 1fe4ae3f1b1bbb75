#include <gtest/gtest.h>

#include "core/abort_flag.h"
#include "core/error.h"
#include "engine/engine_fakes.h"
#include "engine/extraction_engine.h"
#include "engine/frame_schedule.h"

namespace mx::test {
namespace {

using Seeks = std::vector<double>;

// Runs one file through the engine against a fake video and records what happened. Frames
// are only logged (rbAutoWidth clear), so nothing touches the disk.
class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRandomGeneratorForTesting();
        AbortFlag = false;
        options.setFlag(OptionField::rbAutoWidth, false);
        options.setText(OptionField::pathEdit, QStringLiteral("/frames"));
    }
    void TearDown() override { AbortFlag = false; }

    void run(const QString& path = QStringLiteral("/video/clip.avi")) {
        ExtractionEngine engine(host, options, media.factory());
        engine.run(path);
    }

    FakeMedia media;
    RecordingHost host;
    ExtractionOptions options;
};

TEST_F(ScheduleTest, ProportionalSpreadsCapturesEvenlyAndLogsMethodRowsFirst) {
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbProport});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    run();
    EXPECT_EQ(media.captureSeeks(), (Seeks{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110}));
    EXPECT_EQ(host.progressMax, 11);
    ASSERT_GE(host.rows.size(), 6);
    EXPECT_EQ(host.rows.mid(3, 3), (QStringList{"Proportional method", "Start extract 11 frames",
                                                "00:00:10 /frames/clip"}));
    EXPECT_EQ(host.rows.last(), "00:01:50 /frames/clip");
}

TEST_F(ScheduleTest, MatrixTakesNineProportionalCapturesWhateverTheFrameNumber) {
    setFlags(options, {OptionField::rbMatrix, OptionField::rbProport});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    media.duration = 100;
    run();
    EXPECT_EQ(media.captureSeeks(), (Seeks{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(host.progressMax, 9);
    EXPECT_TRUE(host.rows.contains("Start matrix-3x3"));
    EXPECT_EQ(host.rows.indexOf("Proportional method") + 1, host.rows.indexOf("Start matrix-3x3"));
}

TEST_F(ScheduleTest, RandomDrawsFollowTheProcessWideSequence) {
    std::vector<int> draws;
    for (int i = 0; i < 10; ++i) {
        draws.push_back(randomDraw(100));
    }
    EXPECT_EQ(draws, (std::vector<int>{0, 3, 86, 20, 27, 67, 31, 16, 37, 42}));
    EXPECT_EQ(randomDraw(0), 0);

    // The engine draws from the same generator, over the rounded duration at open.
    resetRandomGeneratorForTesting();
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbRandom});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("3"));
    media.duration = 100;
    run();
    EXPECT_EQ(media.captureSeeks(), (Seeks{0, 3, 86}));
    EXPECT_TRUE(host.rows.contains("Random method"));
    // The next file goes on with the sequence rather than starting again.
    media.seeks.clear();
    run();
    EXPECT_EQ(media.captureSeeks(), (Seeks{20, 27, 67}));

    media.seeks.clear();
    media.duration = 0.4;
    run();
    EXPECT_EQ(media.captureSeeks(), (Seeks{0, 0, 0}));
}

TEST_F(ScheduleTest, StartAtRecountsCapturesAndSeeksEveryInterval) {
    setFlags(options, {OptionField::rbEverSec, OptionField::rbProport});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    options.setText(OptionField::edtSecStart, QStringLiteral("1"));
    options.setText(OptionField::edtEverSec, QStringLiteral("5"));
    media.duration = 100;
    run();
    EXPECT_EQ(host.progressMax, 11);
    std::vector<int> expectedPositions;
    Seeks expectedSeeks{1};  // the set-up seek to the start second
    for (int i = 1; i <= 20; ++i) {
        expectedPositions.push_back(i);
        expectedSeeks.push_back(i * (100.0 / 12));  // Proportional first ...
        expectedSeeks.push_back(5 * i + 1);         // ... then "Start at", which counts
    }
    EXPECT_EQ(host.progressPositions, expectedPositions);
    EXPECT_EQ(media.captureSeeks(), expectedSeeks);
    EXPECT_EQ(host.rows.mid(3, 4),
              (QStringList{"Start every sec-1 interval-5", "Proportional method",
                           "Extract 20 frames", "00:00:06 /frames/clip"}));
    EXPECT_EQ(host.rows.last(), "00:01:41 /frames/clip");
}

TEST_F(ScheduleTest, StartAtCountRoundsHalvesToEvenAndSkipsWhenNothingIsLeft) {
    setFlags(options, {OptionField::rbEverSec});
    options.setFlag(OptionField::rbProport, false);
    options.setText(OptionField::edtSecStart, QStringLiteral("1"));
    options.setText(OptionField::edtEverSec, QStringLiteral("5"));
    const std::pair<double, const char*> cases[] = {
        {13.5, "Extract 2 frames"},  // 2.5
        {18.5, "Extract 4 frames"},  // 3.5
        {1, "Extract 0 frames"},     // d = s
        {0, "Extract 0 frames"},     // -0.2
        {-9, "Extract -2 frames"},   // d < s
    };
    for (const auto& [duration, row] : cases) {
        host.rows.clear();
        host.progressPositions.clear();
        media.duration = duration;
        run();
        EXPECT_TRUE(host.rows.contains(row)) << duration;
        const auto expected = QString(row).section(' ', 1, 1).toInt();
        EXPECT_EQ(int(host.progressPositions.size()), std::max(0, expected)) << duration;
    }
}

TEST_F(ScheduleTest, WithoutExtractMethodCapturesStayAtTheOpeningSeek) {
    setFlags(options, {OptionField::rbFrameFile});
    options.setFlag(OptionField::rbProport, false);
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("2"));
    run();
    EXPECT_EQ(media.seeks, (Seeks{1.0}));
    EXPECT_EQ(media.imageRequests, 2);
    // The position is still the duration.
    EXPECT_EQ(host.rows.mid(4), (QStringList{"00:02:00 /frames/clip", "00:02:00 /frames/clip"}));
}

TEST_F(ScheduleTest, WithNoMethodSetCapturesAreGrabbedButNotLogged) {
    clearMethodGroups(options);
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("4"));
    run();
    EXPECT_EQ(host.progressMax, 4);
    EXPECT_EQ(media.seeks, (Seeks{1.0}));
    EXPECT_EQ(media.imageRequests, 4);
    EXPECT_EQ(host.rows, (QStringList{"64 x 48", "Duration:120 sec", "Duration:00:02:00"}));
}

TEST_F(ScheduleTest, AbortBeforeTheFourthCaptureKeepsTheFirstThree) {
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbProport});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    host.onPump = [](int pump) {
        if (pump == 4) {
            AbortFlag = true;
        }
    };
    run();
    EXPECT_EQ(host.progressPositions, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(media.captureSeeks(), (Seeks{10, 20, 30}));
    EXPECT_EQ(media.imageRequests, 3);
    EXPECT_EQ(media.closes, 1);
    EXPECT_EQ(host.captions, QStringList{"MoxelbyExtractor"});
}

// A source may decode planned captures ahead, so a plan must name exactly the positions the
// loop then seeks to, bit for bit; random positions are drawn as their captures come.
TEST_F(ScheduleTest, PlansNameTheSeeksToComeInPiecesAndNeverRandomOnes) {
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbProport});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("150"));
    media.duration = 97.3;
    run();
    EXPECT_EQ(media.planSizes, (std::vector<size_t>{64, 64, 22}));
    EXPECT_EQ(media.planned, media.captureSeeks());

    FakeMedia startAt;
    startAt.duration = 50;
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbEverSec, OptionField::rbRandom});
    options.setText(OptionField::edtSecStart, QStringLiteral("3"));
    options.setText(OptionField::edtEverSec, QStringLiteral("7"));
    ExtractionEngine(host, options, startAt.factory()).run(QStringLiteral("/video/b.avi"));
    EXPECT_EQ(startAt.planned, (Seeks{10, 17, 24, 31, 38, 45, 52}));
    // The start second, then per capture a draw the start-at seek overrides.
    EXPECT_EQ(startAt.captureSeeks().size(), 1 + 2 * startAt.planned.size());

    FakeMedia random;
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbRandom});
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("5"));
    ExtractionEngine(host, options, random.factory()).run(QStringLiteral("/video/c.avi"));
    EXPECT_TRUE(random.planned.empty());
    EXPECT_EQ(random.captureSeeks().size(), 5u);
}

TEST_F(ScheduleTest, BadNumbersStopTheFileWithAClearError) {
    setFlags(options, {OptionField::rbFrameFile, OptionField::rbProport});

    // Not a number: refused before the media is opened, in every frame method.
    for (OptionField method : {OptionField::rbFrameFile, OptionField::rbMatrix}) {
        options.setFlag(method, true);
        options.setText(OptionField::FrameNumberEdit, QStringLiteral("abc"));
        try {
            run();
            ADD_FAILURE() << "no error";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.message(), "'abc' is not a valid integer value");
        }
        EXPECT_EQ(media.opens, 0);
    }

    // A negative count in Frame-File (and "Start at") is refused; the media is released and
    // the caption left alone.
    options.setFlag(OptionField::rbFrameFile, true);
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("-3"));
    EXPECT_THROW(run(), Error);
    EXPECT_EQ(media.closes, media.opens);
    EXPECT_TRUE(host.captions.isEmpty());
    EXPECT_EQ(media.imageRequests, 0);

    // Matrix ignores the number, so a negative one does no harm there.
    options.setFlag(OptionField::rbMatrix, true);
    EXPECT_NO_THROW(run());
    EXPECT_EQ(media.imageRequests, 9);

    // "Start at" with an interval of 0.
    options.setFlag(OptionField::rbEverSec, true);
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("11"));
    options.setText(OptionField::edtEverSec, QStringLiteral("0"));
    host.captions.clear();
    try {
        run();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "The interval in seconds must not be 0");
    }
    EXPECT_EQ(media.closes, media.opens);
    EXPECT_TRUE(host.captions.isEmpty());

    options.setText(OptionField::edtEverSec, QStringLiteral("5s"));
    EXPECT_THROW(run(), ConvertError);
}

}  // namespace
}  // namespace mx::test
