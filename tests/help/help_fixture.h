#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include "common/test_support.h"
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
        setProgramFolderForTesting(m_folder.path());
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

    QString helpFilePath() const {
        return m_folder.filePath(QStringLiteral("mxextractor_help.chm"));
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
