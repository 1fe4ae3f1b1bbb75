#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main_window.h"
#include "common/test_support.h"
#include "core/app_locations.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "i18n/language_manager.h"
#include "settings/settings_file.h"
#include "settings/ui/options_form.h"
#include "widgets/folder_edit.h"

namespace mx {
namespace {

// Every text a user reads in a window: titles, captions, column headers, menu items.
QStringList visibleTexts(QWidget* window) {
    QStringList texts{window->windowTitle()};
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        texts << button->objectName() + '=' + button->text();
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        texts << label->objectName() + '=' + label->text();
    }
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        texts << box->objectName() + '=' + box->title();
    }
    for (QTableWidget* table : window->findChildren<QTableWidget*>()) {
        for (int i = 0; i < table->columnCount(); ++i) {
            texts << table->objectName() + '=' + table->horizontalHeaderItem(i)->text();
        }
    }
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        for (QAction* action : menu->actions()) {
            texts << action->objectName() + '=' + action->text();
        }
    }
    return texts;
}

class LanguageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        setProgramFolderForTesting(m_folder.path());
        setUserFoldersForTesting(m_folder.filePath("config"), m_folder.filePath("data"));
        setHelpMessageFunction([](const QString&) {});
        for (const char* name : {"german.lng", "russian.lng"}) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(MX_LANG_DIR "/") + name,
                                    m_folder.filePath(QString::fromLatin1(name))));
        }
    }
    void TearDown() override {
        m_dialog.reset();
        m_form.reset();
        LangManager().SetCurrentLanguage(1033);
        setProgramFolderForTesting(QString());
        setUserFoldersForTesting(QString(), QString());
        setHelpMessageFunction({});
    }

    void start() {
        m_dialog.reset();
        m_form.reset();
        m_form = std::make_unique<TForm1>(m_options, QStringList{});
        m_form->showError = [this](const QString& text) { m_errors << text; };
        m_dialog = std::make_unique<TOptionsForm>(m_options, m_form.get());
        m_form->setOptionsForm(m_dialog.get());
        m_form->FormActivate();
    }

    int indexOf(int languageId) {
        for (int i = 0; i < LangManager().GetLanguageCount(); ++i) {
            if (LangManager().GetLanguageIdAt(i) == languageId) {
                return i;
            }
        }
        return -1;
    }

    QTemporaryDir m_folder;
    ExtractionOptions m_options;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TOptionsForm> m_dialog;
    QStringList m_errors;
};

TEST_F(LanguageWindowTest, SwitchingToGermanAndBackTranslatesBothWindowsCompletely) {
    start();
    QComboBox* list = m_dialog->cbblang();
    ASSERT_EQ(list->count(), 3);  // built-in, German, Russian, each once
    EXPECT_EQ(list->currentIndex(), -1);
    const QStringList mainBuiltIn = visibleTexts(m_form.get());
    const QStringList dialogBuiltIn = visibleTexts(m_dialog.get());

    list->setCurrentIndex(indexOf(1031));
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(' ').toStdString();
    EXPECT_EQ(m_dialog->cbblangTag(), 1031);
    EXPECT_EQ(m_form->windowTitle(), "Moxelby Bildextraktor");
    EXPECT_EQ(m_form->findChild<QAbstractButton*>("BtnExit")->text(), "Beenden");
    EXPECT_EQ(m_form->fileListView()->horizontalHeaderItem(1)->text(), "Dateiname");
    EXPECT_EQ(m_form->findChild<QAction*>("ClearList1")->text(), "Liste leeren");
    EXPECT_EQ(m_dialog->windowTitle(), "Optionen");
    EXPECT_EQ(m_dialog->saveButton()->text(), "Speichern");
    // Every caption that has a German text shows it.
    const QStringList mainGerman = visibleTexts(m_form.get());
    const QStringList dialogGerman = visibleTexts(m_dialog.get());
    int changed = 0;
    for (int i = 0; i < mainBuiltIn.size(); ++i) {
        changed += mainBuiltIn[i] != mainGerman[i];
    }
    for (int i = 0; i < dialogBuiltIn.size(); ++i) {
        changed += dialogBuiltIn[i] != dialogGerman[i];
    }
    EXPECT_GE(changed, 45);

    list->setCurrentIndex(indexOf(1033));
    // The quality label gets its design caption back; the number returns with the next show
    // or slider move, as in any other language.
    const auto designCaption = [](QStringList texts) {
        texts.replaceInStrings("JPGqualitylabel=JPG quality 75", "JPGqualitylabel=JPG quality");
        return texts;
    };
    EXPECT_EQ(visibleTexts(m_form.get()), designCaption(mainBuiltIn));
    EXPECT_EQ(visibleTexts(m_dialog.get()), designCaption(dialogBuiltIn));
    EXPECT_EQ(m_dialog->JPGqualitylabel()->text(), "JPG quality");
}

TEST_F(LanguageWindowTest, ConfirmedLanguageIsWrittenAtCloseAndUsedAtTheNextStart) {
    start();
    QTimer::singleShot(0, [this] {
        m_dialog->cbblang()->setCurrentIndex(indexOf(1049));
        m_dialog->saveButton()->click();
    });
    m_form->OptionsBtnClick();
    EXPECT_EQ(m_options.language(), 1049);
    m_form->close();
    EXPECT_EQ(LoadLanguageSetting(settingsFilePath()), 1049);

    LangManager().SetCurrentLanguage(1033);
    start();
    EXPECT_EQ(LangManager().GetCurrentLanguage(), 1049);
    EXPECT_EQ(m_form->findChild<QAbstractButton*>("BtnExit")->text(), QString::fromUtf8("Выход"));

    // A choice that ends with Cancel keeps the screen in that language but is not kept.
    QTimer::singleShot(0, [this] {
        m_dialog->cbblang()->setCurrentIndex(indexOf(1031));
        m_dialog->cancelButton()->click();
    });
    m_form->OptionsBtnClick();
    EXPECT_EQ(LangManager().GetCurrentLanguage(), 1031);
    EXPECT_EQ(m_options.language(), 1049);

    // Free text typed into the list picks the built-in language.
    m_dialog->cbblang()->setEditText(QStringLiteral("Klingon"));
    EXPECT_EQ(LangManager().GetCurrentLanguage(), 1033);
    EXPECT_EQ(m_dialog->cbblangTag(), 1033);
}

TEST_F(LanguageWindowTest, SavePathIsTranslatedAndABrokenLanguageIsReportedOnceAndNotKept) {
    // French gives the folder field a text of its own; the Italian file is damaged (an ID twice).
    ASSERT_TRUE(test::writeFile(m_folder.filePath("french.lng"),
                                "LANGID=1036\r\n[OptionsForm]\r\n2=Enregistrer\r\n"
                                "5=c:\\\\images\\\\fr\r\n"));
    ASSERT_TRUE(test::writeFile(m_folder.filePath("italian.lng"),
                                "LANGID=1040\r\n[OptionsForm]\r\n2=Salva\r\n2=Salva\r\n"));
    start();
    QComboBox* list = m_dialog->cbblang();
    list->setCurrentIndex(indexOf(1036));
    EXPECT_EQ(m_dialog->saveButton()->text(), "Enregistrer");
    EXPECT_EQ(m_dialog->pathEdit()->text(), "c:\\images\\fr");
    EXPECT_EQ(m_options.pathEdit(), "c:\\images\\fr");  // the field is the live setting
    list->setCurrentIndex(indexOf(1033));
    EXPECT_EQ(m_dialog->pathEdit()->text(), "e:\\tempvideo\\images");
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join('|').toStdString();

    // One pick is one switch: the damaged file reports its error once. The windows keep their
    // language, and Save does not keep a language that cannot be loaded.
    QTimer::singleShot(0, [this] {
        m_dialog->cbblang()->setCurrentIndex(indexOf(1040));
        m_dialog->saveButton()->click();
    });
    m_form->OptionsBtnClick();
    ASSERT_EQ(m_errors.size(), 1) << m_errors.join('|').toStdString();
    EXPECT_TRUE(m_errors[0].startsWith("Loading translations failed.\r\nLine 3: "))
        << m_errors[0].toStdString();
    EXPECT_EQ(LangManager().GetCurrentLanguage(), 1033);
    EXPECT_EQ(m_options.language(), 1033);
    m_form->close();
    EXPECT_EQ(LoadLanguageSetting(settingsFilePath()), 1033);
}

// A language file far too large to be one (no section header to stop at) is no language, and
// a saved language whose file is damaged costs only itself: the scan, the help and the saved
// choice survive both.
TEST_F(LanguageWindowTest, LargeOrDamagedLanguageFilesCostOnlyTheirOwnStep) {
    ASSERT_TRUE(test::writeFile(m_folder.filePath("huge.lng"), QByteArray(72 << 20, 'x')));
    ASSERT_TRUE(test::writeFile(m_folder.filePath("italian.lng"),
                                "LANGID=1040\r\n[Form1]\r\n2=Salva\r\n2=Salva\r\n"));
    SaveLanguageSetting(1040, settingsFilePath());
    // The window reports start-up errors in a message box, before a test can take them over.
    QStringList shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->text();
            box->accept();
        }
    });
    start();
    ASSERT_EQ(shown.size(), 1) << shown.join('|').toStdString();
    EXPECT_TRUE(shown[0].startsWith("Loading translations failed.")) << shown[0].toStdString();
    QStringList registered;
    for (const auto& record : LangManager().languages()) {
        registered << record.path;
    }
    EXPECT_TRUE(registered.contains(m_folder.filePath("russian.lng"))) << "the scan went on";
    EXPECT_NE(m_form->findChild<TNARVHelp*>(), nullptr);
    m_form->close();
    EXPECT_EQ(LoadLanguageSetting(settingsFilePath()), 1040);
}

}  // namespace
}  // namespace mx
