#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "app/main_window.h"
#include "common/file_system_fixtures.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "settings/extraction_options.h"
#include "widgets/folder_edit.h"

namespace mx {
namespace {

using test::nativeEntries;
using test::readNativeFile;
using test::writeNativeFile;

// The window over a temporary program folder whose names carry bytes that are not UTF-8, with
// every message box collected instead of shown.
class WindowFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.bytes() + "/vid\xE9os";  // Latin-1, as from an old archive
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
        setProgramFolderForTesting(dir.path());
        setHelpMessageFunction([](const QString&) {});  // no help file here
        form = std::make_unique<TForm1>(options, QStringList{});
        form->showError = [this](const QString& text) { errors << text; };
    }
    void TearDown() override {
        form.reset();
        setProgramFolderForTesting(QString());
        setHelpMessageFunction({});
    }

    QList<QByteArray> rowBytes() const {
        QList<QByteArray> rows;
        for (const JobRow& row : form->jobList().rows()) {
            rows << encodeNativePath(row.path);
        }
        return rows;
    }

    // Answers the next file dialog as a user does: types `path` as the dialog shows it (Qt's
    // decoding, with U+FFFD for bytes that are not UTF-8) and presses the accept button.
    // Message boxes the dialog raises instead are closed and recorded.
    void answerNextDialogWith(const QByteArray& path) {
        const QString typed = QFile::decodeName(path);
        QTimer::singleShot(50, form.get(), [this, typed] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no file dialog";
                return;
            }
            // Whatever the dialog shows instead of closing (Qt's "File not found") is closed,
            // and so is the dialog then; timers bound to the dialog end with it.
            QTimer::singleShot(200, dialog, [this, dialog] {
                if (QWidget* shown = QApplication::activeModalWidget(); shown && shown != dialog) {
                    dialogProblems << shown->metaObject()->className();
                    shown->close();
                }
                QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
            });
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    void click(const char* button) {
        form->findChild<QToolButton*>(QString::fromLatin1(button))->click();
    }

    test::NativeTempDir dir;
    QByteArray folder;
    ExtractionOptions options;
    std::unique_ptr<TForm1> form;
    QStringList errors;
    QStringList dialogProblems;
};

TEST_F(WindowFilesTest, DroppedNamesKeepTheirBytesAndAreShownWithStandIns) {
    const QByteArray file = folder + "/caf\xE9 1.avi";
    auto* mime = new QMimeData;  // owned by the event's sender in real drags; freed below
    const std::unique_ptr<QMimeData> owner(mime);
    mime->setData("text/uri-list", "file://" + QByteArray(file).toPercentEncoding("/") + "\r\n" +
                                       "file:///v/%C3%A9t%C3%A9.mp4\r\n");
    form->show();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &drop);
    ASSERT_EQ(rowBytes(), (QList<QByteArray>{file, "/v/\xC3\xA9t\xC3\xA9.mp4"}))
        << mime->urls().size() << " urls";
    EXPECT_EQ(form->fileListView()->item(0, 1)->text(),
              dir.path() + QString::fromUtf8("/vid\uFFFDos/caf\uFFFD 1.avi"));
}

TEST_F(WindowFilesTest, AddFileAndAddFolderDialogsGiveTheRealBytes) {
    const QByteArray file = folder + "/caf\xE9.avi";
    ASSERT_TRUE(writeNativeFile(file, "x"));
    answerNextDialogWith(file);
    click("BtnAddFile");
    EXPECT_TRUE(dialogProblems.isEmpty()) << dialogProblems.join(", ").toStdString();
    EXPECT_EQ(rowBytes(), QList<QByteArray>{file});

    answerNextDialogWith(folder);
    EXPECT_EQ(encodeNativePath(form->dirDialog1()), folder);
    EXPECT_TRUE(dialogProblems.isEmpty()) << dialogProblems.join(", ").toStdString();

    // The options dialog's browse button, started inside that folder, gives it back by its bytes.
    FolderEdit edit;
    edit.setText(decodeNativePath(folder));
    answerNextDialogWith(folder);
    edit.browseButton()->click();
    EXPECT_EQ(encodeNativePath(edit.text()), folder);
    EXPECT_TRUE(dialogProblems.isEmpty()) << dialogProblems.join(", ").toStdString();
}

// Two names that differ only in a byte that is not UTF-8 look alike in the dialog; the user is
// asked which one is meant and gets that one.
TEST_F(WindowFilesTest, LookalikeNamesInADialogAreToldApartByTheirBytes) {
    ASSERT_TRUE(writeNativeFile(folder + "/a\xE0.avi", "1"));
    ASSERT_TRUE(writeNativeFile(folder + "/a\xE1.avi", "2"));
    answerNextDialogWith(folder + "/a\xE1.avi");
    QStringList offered;
    QTimer::singleShot(120, form.get(), [&offered] {
        auto* chooser = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!chooser) {
            ADD_FAILURE() << "not asked";
            return;
        }
        offered = chooser->comboBoxItems();
        chooser->setTextValue(offered.filter("E1)").value(0));
        chooser->accept();
    });
    click("BtnAddFile");
    EXPECT_EQ(offered.size(), 2);
    EXPECT_EQ(rowBytes(), QList<QByteArray>{folder + "/a\xE1.avi"});
}

TEST_F(WindowFilesTest, SaveListAndOpenListThroughTheDialogsKeepEveryByte) {
    const QByteArray list = folder + "/li\xE9ste.mxl";
    ASSERT_TRUE(writeNativeFile(list, "old"));
    form->dropPaths({decodeNativePath(folder + "/a\xE9.avi"), decodeNativePath("/v/\xFF.mpg")});

    answerNextDialogWith(list);  // picks the existing list, to be replaced
    click("BtnSaveList");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(nativeEntries(folder), QList<QByteArray>{"li\xE9ste.mxl"}) << "no second file";
    EXPECT_TRUE(
        readNativeFile(list).startsWith(folder + "/a\xE9.avi\r\n/v/\xFF.mpg\r\noptions\r\n"));

    form->ClearList1Click();
    answerNextDialogWith(list);
    click("BtnOpenList");
    EXPECT_TRUE(dialogProblems.isEmpty()) << dialogProblems.join(", ").toStdString();
    EXPECT_EQ(rowBytes(), (QList<QByteArray>{folder + "/a\xE9.avi", "/v/\xFF.mpg"}));
}

TEST_F(WindowFilesTest, SaveListRefusesPathsTheFileCannotCarryAndChangesNothing) {
    const QByteArray list = folder + "/list.mxl";
    ASSERT_TRUE(writeNativeFile(list, "old"));
    form->saveDialogList = [&] { return decodeNativePath(list); };
    const QStringList paths{"/v/a.avi", "/v/two\nlines.avi", "/v/c.avi"};
    for (const QString& path : paths) {
        form->jobList().add(path);
    }
    click("BtnSaveList");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("row 2")) << errors[0].toStdString();
    EXPECT_EQ(readNativeFile(list), "old");
    EXPECT_EQ(nativeEntries(folder), QList<QByteArray>{"list.mxl"});
    ASSERT_EQ(form->jobList().count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form->jobList().row(i).path, paths[i]);
    }
    EXPECT_EQ(form->fileListView()->rowCount(), 3);
}

}  // namespace
}  // namespace mx
