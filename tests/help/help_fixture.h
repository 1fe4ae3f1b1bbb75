#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include "common/test_support.h"
#include "core/app_locations.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "help/link_label.h"

namespace mx::test {

// A program folder of its own, the help texts collected instead of shown, and no window left
// active from an earlier test.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        // <prefix>/bin beside <prefix>/share, as an installed program has them.
        ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("bin")));
        setProgramFolderForTesting(m_folder.filePath(QStringLiteral("bin")));
        setApplicationHelpFile(QStringLiteral("mxextractor_help.chm"));
        setHelpMessageFunction([this](const QString& text) { messages.append(text); });
        TLinkLabel::setLinkOpener([this](const QString& target) { opened.append(target); });
    }

    void TearDown() override {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            window->close();
        }
        QCoreApplication::processEvents();
        setProgramFolderForTesting(QString());
        setApplicationHelpFile(QString());
        setHelpMessageFunction({});
        TLinkLabel::setLinkOpener({});
    }

    // The help file beside the program, and in the installed data folder.
    QString helpFilePath() const {
        return m_folder.filePath(QStringLiteral("bin/mxextractor_help.chm"));
    }
    QString installedHelpFilePath() const {
        return m_folder.filePath(QStringLiteral("share/") + QLatin1String(kApplicationId) +
                                 QStringLiteral("/mxextractor_help.chm"));
    }

    // The help file the build puts beside the test programs.
    static QByteArray shippedHelpFile() {
        return readFile(QCoreApplication::applicationDirPath() +
                        QStringLiteral("/mxextractor_help.chm"));
    }

    void installHelpFile(const QByteArray& bytes) { ASSERT_TRUE(writeFile(helpFilePath(), bytes)); }

    static bool makeActive(QWidget* window) {
        window->show();
        window->activateWindow();
        QElapsedTimer timer;
        timer.start();
        while (QApplication::activeWindow() != window && timer.elapsed() < 5000) {
            QCoreApplication::processEvents();
        }
        return QApplication::activeWindow() == window;
    }

    QStringList messages;
    QStringList opened;

private:
    QTemporaryDir m_folder;
};

}  // namespace mx::test
