#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include "common/file_system_fixtures.h"
#include "common/test_support.h"
#include "core/app_locations.h"
#include "core/native_path.h"
#include "core/program_folder.h"

namespace mx {
namespace {

const QString kId = QString::fromLatin1(kApplicationId);

// Sets an environment variable for the life of the object and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// A program installed as <prefix>/bin, with user folders of its own.
class Locations : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_prefix.isValid());
        ASSERT_TRUE(QDir(m_prefix.path()).mkpath("bin"));
        setProgramFolderForTesting(m_prefix.filePath("bin"));
    }
    void TearDown() override {
        setProgramFolderForTesting({});
        setUserFoldersForTesting({}, {});
    }
    QTemporaryDir m_prefix;
};

TEST_F(Locations, UserFoldersFollowTheBaseDirectoryVariables) {
    const ScopedEnv home("HOME", "/home/someone");
    {
        const ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        const ScopedEnv data("XDG_DATA_HOME", "/dat");
        EXPECT_EQ(userConfigFolder(), "/cfg/" + kId);
        EXPECT_EQ(userDataFolder(), "/dat/" + kId);
    }
    // Unset, empty or relative values fall back to the home folder.
    {
        const ScopedEnv config("XDG_CONFIG_HOME", "");
        const ScopedEnv data("XDG_DATA_HOME", "relative/share");
        EXPECT_EQ(userConfigFolder(), "/home/someone/.config/" + kId);
        EXPECT_EQ(userDataFolder(), "/home/someone/.local/share/" + kId);
    }
    // A folder name that is not UTF-8 keeps its bytes.
    {
        const ScopedEnv config("XDG_CONFIG_HOME", "/caf\xE9");
        EXPECT_EQ(encodeNativePath(userConfigFolder()), "/caf\xE9/" + QByteArray(kApplicationId));
    }
    setUserFoldersForTesting("/a", "/b");
    EXPECT_EQ(userConfigFolder(), "/a");
    EXPECT_EQ(userDataFolder(), "/b");
}

TEST_F(Locations, PortableSettingsFileBesideTheProgramWinsOnlyWhenItIsAFile) {
    setUserFoldersForTesting(m_prefix.filePath("config"), m_prefix.filePath("data"));
    const QString portable = m_prefix.filePath("bin/mxex2.ini");
    const QString user = m_prefix.filePath("config/mxex2.ini");
    EXPECT_EQ(chooseSettingsFile(), user);

    ASSERT_TRUE(QDir().mkpath(portable));  // a folder of that name is no settings file
    EXPECT_EQ(chooseSettingsFile(), user);
    ASSERT_TRUE(QDir().rmdir(portable));

    ASSERT_TRUE(test::writeFile(portable, "[Form]\r\nlanguage=1031\r\n"));
    EXPECT_EQ(chooseSettingsFile(), portable);
    // Even an empty one: the copy says "keep everything here".
    ASSERT_TRUE(test::writeFile(portable, ""));
    EXPECT_EQ(chooseSettingsFile(), portable);
}

TEST_F(Locations, DataFilesBesideTheProgramElseInTheInstalledDataFolder) {
    const QString data = m_prefix.filePath("share/" + kId);
    EXPECT_EQ(installedDataFolder(), data);
    setUserFoldersForTesting(m_prefix.filePath("config"), m_prefix.filePath("data"));
    EXPECT_EQ(languageFolders(), (QStringList{m_prefix.filePath("bin"), data + "/lang",
                                              m_prefix.filePath("data/lang")}));

    // In neither place: the installed one, the path looked for last.
    EXPECT_EQ(locateDataFile("help.chm"), data + "/help.chm");
    ASSERT_TRUE(QDir().mkpath(data));
    ASSERT_TRUE(test::writeFile(data + "/help.chm", "installed"));
    EXPECT_EQ(locateDataFile("help.chm"), data + "/help.chm");
    ASSERT_TRUE(test::writeFile(m_prefix.filePath("bin/help.chm"), "portable"));
    EXPECT_EQ(locateDataFile("help.chm"), m_prefix.filePath("bin/help.chm"));

    // A program folder given with a trailing component still finds <prefix>/share.
    setProgramFolderForTesting(m_prefix.filePath("bin/."));
    EXPECT_EQ(installedDataFolder(), data);
}

// A copy of this test program in a folder whose name is not UTF-8 (as an unpacked archive may
// make it) finds its portable settings file there: the folder is taken by its bytes.
TEST(ProgramFolder, FolderNamedInOtherBytesIsTheProgramFilesOwn) {
    const char* const expectedVariable = "MX_EXPECTED_SETTINGS_FILE";
    if (qEnvironmentVariableIsSet(expectedVariable)) {
        EXPECT_EQ(encodeNativePath(chooseSettingsFile()), qgetenv(expectedVariable));
        return;
    }
    test::NativeTempDir dir;
    const QByteArray folder = dir.bytes() + "/bin\xE9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    ASSERT_TRUE(test::writeNativeFile(folder + "/mxex2.ini", "[Form]\r\nlanguage=1031\r\n"));
    ASSERT_TRUE(test::writeNativeFile(folder + "/tests", test::readNativeFile("/proc/self/exe")));
    ASSERT_EQ(::chmod((folder + "/tests").constData(), 0700), 0);
    // Started through a link with a plain name: QProcess cannot start a path in other bytes.
    ASSERT_EQ(::symlink((folder + "/tests").constData(), (dir.bytes() + "/run").constData()), 0);
    const ScopedEnv expected(expectedVariable, folder + "/mxex2.ini");
    QString output;
    EXPECT_EQ(
        test::runProgram(
            dir.path() + "/run",
            {"--gtest_filter=ProgramFolder.FolderNamedInOtherBytesIsTheProgramFilesOwn"}, &output),
        0)
        << output.toStdString();
}

TEST_F(Locations, ParentFoldersAreMadeForTheOwnerOnly) {
    const QString file = m_prefix.filePath("a/b\xC3\xA9/c/mxex2.ini");
    ASSERT_TRUE(makeParentFolders(file));
    struct stat info {};
    ASSERT_EQ(::stat(encodeNativePath(m_prefix.filePath("a/b\xC3\xA9/c")).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(QFileInfo::exists(file));  // the file itself is the writer's
    EXPECT_TRUE(makeParentFolders(file));   // again: nothing to do

    // Undecodable bytes in a folder name are kept.
    const QString odd = m_prefix.path() + "/" + decodeNativePath("x\xFFy") + "/f";
    const test::RemovedAtEnd removed{encodeNativePath(m_prefix.path()) + "/x\xFFy"};
    ASSERT_TRUE(makeParentFolders(odd));
    EXPECT_EQ(::access((encodeNativePath(m_prefix.path()) + "/x\xFFy").constData(), F_OK), 0);

    // Below a regular file no folder can be made, not even by root.
    ASSERT_TRUE(test::writeFile(m_prefix.filePath("plain"), "x"));
    EXPECT_FALSE(makeParentFolders(m_prefix.filePath("plain/sub/mxex2.ini")));
}

}  // namespace
}  // namespace mx
