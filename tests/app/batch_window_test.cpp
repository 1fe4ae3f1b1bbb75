#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTemporaryDir>

#include "app/application_title.h"
#include "app/main_window.h"
#include "common/media_clips.h"
#include "common/test_support.h"
#include "core/abort_flag.h"
#include "core/app_locations.h"
#include "core/error.h"
#include "core/program_folder.h"
#include "engine/engine_fakes.h"
#include "help/help_bridge.h"
#include "settings/settings_file.h"

namespace mx {
namespace {

// "Start extract" in the window: a settings file in a temporary program folder, jobs added as
// the user would, and what the run leaves on screen and on disk.
class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        setProgramFolderForTesting(m_folder.path());
        setUserFoldersForTesting(m_folder.filePath("config"), m_folder.filePath("data"));
        setHelpMessageFunction([this](const QString& text) { m_helpMessages << text; });
        m_out = m_folder.filePath(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(m_out));
    }
    void TearDown() override {
        setProgramFolderForTesting(QString());
        setUserFoldersForTesting(QString(), QString());
        setHelpMessageFunction({});
    }

    // Saves the settings a run will load: the given frame method, JPEG, numbered names.
    void saveSettings(OptionField method, const QString& frames = QStringLiteral("3")) {
        ExtractionOptions options;
        test::setFlags(options, {method, OptionField::rbProport, OptionField::rbAutoWidth,
                                 OptionField::JPGBtn, OptionField::chkAddNumber});
        options.setText(OptionField::FrameNumberEdit, frames);
        options.setText(OptionField::pathEdit, m_out);
        SaveSettings(options, settingsFilePath());
    }

    void create(VideoSourceFactory sources = {}) {
        m_form = sources ? std::make_unique<TForm1>(m_options, QStringList{}, sources)
                         : std::make_unique<TForm1>(m_options, QStringList{});
        m_form->showError = [this](const QString& text) { m_errors << text; };
    }

    QStringList m_helpMessages;
    QTemporaryDir m_folder;
    QString m_out;
    ExtractionOptions m_options;
    std::unique_ptr<TForm1> m_form;
    QStringList m_errors;
};

TEST_F(BatchWindowTest, RunsThreeClipsIntoFramesAndSheets) {
    QStringList clips;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
        clips << m_folder.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(test::makeIndexedClip(clips.last()));  // 4 s at 25 frames a second
    }
    create();
    m_form->dropPaths(clips);

    saveSettings(OptionField::rbFrameFile);
    m_form->StartExtractBtnClick();
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(' ').toStdString();
    // Three frames at 1, 2 and 3 s of each clip: frames 25, 50 and 75.
    for (const char* base : {"a", "b", "c"}) {
        for (int i = 1; i <= 3; ++i) {
            const QString file =
                QStringLiteral("%1/%2_%3.jpg").arg(m_out).arg(base).arg(i, 5, 10, QLatin1Char('0'));
            EXPECT_EQ(test::readFrameIndex(QImage(file)), 25 * i) << file.toStdString();
        }
    }
    const QStringList log = m_form->activityLog().texts();
    EXPECT_EQ(log.first(), "Start extract");
    EXPECT_EQ(log.last(), "Extract complete.");
    EXPECT_EQ(log.count(QStringLiteral("Start extract 3 frames")), 3);
    EXPECT_EQ(m_form->windowTitle(), "MoxelbyExtractor");
    EXPECT_EQ(applicationTitle(), "MoxelbyExtractor");
    EXPECT_EQ(m_form->allPos(), 3);
    EXPECT_EQ(m_form->allMax(), 3);
    EXPECT_EQ(m_form->statusText(), "3 " + clips[2]);

    saveSettings(OptionField::rbMatrix);
    m_form->StartExtractBtnClick();
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(' ').toStdString();
    for (const char* base : {"a", "b", "c"}) {
        const QImage sheet(QStringLiteral("%1/%2.jpg").arg(m_out).arg(base));
        ASSERT_EQ(sheet.size(), QSize(960, 760)) << base;
        // The first tile (top left, under the band) is the frame at 0.4 s, the last one 3.6 s.
        EXPECT_EQ(test::readFrameIndex(sheet.copy(0, 40, 320, 240)), 10) << base;
        EXPECT_EQ(test::readFrameIndex(sheet.copy(640, 520, 320, 240)), 90) << base;
    }
}

TEST_F(BatchWindowTest, EscDuringTheSecondFileStopsBeforeTheThird) {
    saveSettings(OptionField::rbFrameFile, QStringLiteral("11"));
    test::FakeMedia media;
    VideoSourceFactory factory = media.factory();
    int opened = 0;
    create([&]() {
        if (++opened == 2) {
            // The key arrives while the second file pumps messages before a capture.
            QCoreApplication::postEvent(m_form->fileListView(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        }
        return factory();
    });
    m_form->dropPaths({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    AbortFlag = true;  // an Esc before the run has no effect on it
    m_form->StartExtractBtnClick();

    EXPECT_EQ(opened, 2);
    const QStringList log = m_form->activityLog().texts();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList{"open-/v/c.avi", "Aborted.", "Extract complete."}));
    EXPECT_EQ(m_form->allPos(), 2);
    EXPECT_EQ(m_form->windowTitle(), "66% MoxelbyExtractor");
    // The first file made all its captures, the second stopped early.
    EXPECT_EQ(log.count(QStringLiteral("open-/v/a.avi")), 1);
    EXPECT_TRUE(m_form->isEnabled());
}

TEST_F(BatchWindowTest, ListClearedWhileTheRunPumpsMessagesIsNotReadAgain) {
    saveSettings(OptionField::rbFrameFile, QStringLiteral("2"));
    test::FakeMedia media;
    VideoSourceFactory factory = media.factory();
    create([&]() {
        // A handler that runs inside the run's message pumping empties the list.
        QMetaObject::invokeMethod(
            m_form.get(), [this] { m_form->jobList().clear(); }, Qt::QueuedConnection);
        return factory();
    });
    m_form->dropPaths({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    m_form->StartExtractBtnClick();
    EXPECT_EQ(media.opens, 1);
    EXPECT_EQ(m_form->activityLog().texts().last(), "Extract complete.");
    EXPECT_EQ(m_form->fileListView()->rowCount(), 0);
}

TEST_F(BatchWindowTest, AnOutputFolderThatDoesNotExistStopsTheRunWithItsMessage) {
    saveSettings(OptionField::rbFrameFile, QStringLiteral("2"));
    ExtractionOptions options;
    LoadSettings(options, settingsFilePath());
    options.setText(OptionField::pathEdit, m_folder.filePath(QStringLiteral("missing")));
    SaveSettings(options, settingsFilePath());
    test::FakeMedia media;
    create(media.factory());
    m_form->dropPaths({"/v/a.avi", "/v/b.avi"});
    EXPECT_THROW(m_form->StartExtractBtnClick(), Error);
    EXPECT_NE(m_form->activityLog().texts().last(), "Extract complete.");
    EXPECT_FALSE(m_form->isRunning());
}

}  // namespace
}  // namespace mx
