#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "common/test_support.h"
#include "core/app_locations.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "i18n/language_manager.h"
#include "settings/settings_file.h"

namespace mx {
namespace {

// The window of a program installed as <prefix>/bin/mxextractor, run by a user whose folders
// are <prefix>/home/config and <prefix>/home/data.
class InstalledWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_prefix.isValid());
        ASSERT_TRUE(QDir(m_prefix.path()).mkpath("bin"));
        setProgramFolderForTesting(bin());
        setUserFoldersForTesting(configFolder(), m_prefix.filePath("home/data"));
        setHelpMessageFunction([](const QString&) {});
    }
    void TearDown() override {
        m_form.reset();
        LangManager().SetCurrentLanguage(1033);
        setProgramFolderForTesting({});
        setUserFoldersForTesting({}, {});
        setHelpMessageFunction({});
    }

    QString bin() const { return m_prefix.filePath("bin"); }
    QString configFolder() const { return m_prefix.filePath("home/config"); }
    QString installedLang() const {
        return m_prefix.filePath("share/" + QLatin1String(kApplicationId) + "/lang");
    }

    // Starts the window as the program does and closes it again, which writes the language.
    void startAndClose(int languageToSet = 0) {
        m_form = std::make_unique<TForm1>(m_options, QStringList());
        m_form->showError = [this](const QString& text) { m_errors << text; };
        if (languageToSet != 0) {
            m_options.setLanguage(languageToSet);
        }
        m_form->show();
        m_form->close();
        m_form.reset();
    }

    static void copyLanguageFile(const char* name, const QString& folder) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(QStringLiteral(MX_LANG_DIR "/") + name,
                                folder + "/" + QString::fromLatin1(name)));
    }

    QTemporaryDir m_prefix;
    ExtractionOptions m_options;
    std::unique_ptr<TForm1> m_form;
    QStringList m_errors;
};

TEST_F(InstalledWindowTest, SettingsGoToTheUserFolderMadeOnFirstWriteAndSurviveARestart) {
    startAndClose(1031);
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join('|').toStdString();
    const QString ini = configFolder() + "/mxex2.ini";
    EXPECT_EQ(LoadLanguageSetting(ini), 1031);
    EXPECT_FALSE(QFile::exists(bin() + "/mxex2.ini"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(configFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    m_options.setLanguage(1033);
    startAndClose();
    EXPECT_EQ(m_options.language(), 1031);  // read back at the next start
}

TEST_F(InstalledWindowTest, APortableSettingsFileBesideTheProgramIsTheOneUsed) {
    ASSERT_TRUE(test::writeFile(bin() + "/mxex2.ini", "[Form]\r\nlanguage=1049\r\n"));
    startAndClose();
    EXPECT_EQ(m_options.language(), 1049);
    startAndClose(1031);
    EXPECT_EQ(LoadLanguageSetting(bin() + "/mxex2.ini"), 1031);
    EXPECT_FALSE(QFileInfo::exists(configFolder()));
}

TEST_F(InstalledWindowTest, LanguageFilesComeFromTheInstalledAndTheUserDataFolders) {
    copyLanguageFile("german.lng", installedLang());
    copyLanguageFile("russian.lng", installedLang());
    // The user's own copy of a language comes later in the scan and replaces the installed one.
    const QString userLang = m_prefix.filePath("home/data/lang");
    copyLanguageFile("german.lng", userLang);
    startAndClose();
    QMap<int, QString> paths;
    for (const TLxLang_LangResource& language : LangManager().languages()) {
        paths[language.language] = language.path;
    }
    EXPECT_EQ(paths.value(1031), userLang + "/german.lng");
    EXPECT_EQ(paths.value(1049), installedLang() + "/russian.lng");
}

}  // namespace
}  // namespace mx
