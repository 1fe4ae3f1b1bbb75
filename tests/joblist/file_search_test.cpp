#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <stdexcept>

#include "common/test_support.h"
#include "core/native_path.h"
#include "joblist/file_search.h"
#include "joblist/qt_printers.h"

namespace mx {
namespace {

// A tree with matches at every level, a folder named like a mask, a hidden file, upper-case
// extensions, names with blanks and non-ASCII characters, and a link back to the top.
struct Tree {
    Tree() {
        root = dir.path() +
               "/t r\xC3\xA9"
               "e/";
        for (const char* folder : {"", "sub", "sub/deeper", "clip.avi", "z"}) {
            QDir().mkpath(root + folder);
        }
        for (const char* file :
             {"a.avi", "b.MOV", "c.txt", ".hidden.avi",
              "s p\xC3\xA4"
              "ce.Avi",
              "sub/x.avi", "sub/y.mov", "sub/deeper/q.AVI", "clip.avi/in.mov", "z/w.avi"}) {
            test::writeFile(root + QString::fromUtf8(file), "x");
        }
        QFile::link(root, root + "loop.avi");
        QFile::link(root, root + "sub/loop");
    }

    // The expected reports of one mask ending in `suffix`: the folder's own matches in listing
    // order, then each real subfolder in listing order.
    void expected(const QString& folder, const QString& suffix, QStringList& out) const {
        const QStringList names = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString& name : names) {
            if (name.endsWith(suffix, Qt::CaseInsensitive)) {
                out << folder + name;
            }
        }
        for (const QString& name : names) {
            const QFileInfo info(folder + name);
            if (info.isDir() && !info.isSymLink()) {
                expected(folder + name + "/", suffix, out);
            }
        }
    }

    QTemporaryDir dir;
    QString root;
};

TEST(FileSearch, ReportsEachMaskOverTheWholeTreeInPreOrder) {
    const Tree tree;
    TFileSearch search;
    QStringList reported;
    QStringList folders;
    int finished = 0;
    search.setOnFileFind([&](const QString& folder, const TSearchRec& info) {
        reported << folder + info.name;
        EXPECT_EQ(info.isDirectory, info.name == "clip.avi");
        EXPECT_EQ(info.isSymLink, info.name == "loop.avi");
        EXPECT_EQ(info.isHidden, info.name.startsWith('.'));
    });
    search.setOnChangeFolder([&](const QString& folder, const TSearchRec&) { folders << folder; });
    search.setOnFinish([&](TFileSearch&) { ++finished; });
    search.setSearchFile(tree.root + "*.avi;*.mov");
    search.Execute();

    QStringList expected;
    tree.expected(tree.root, ".avi", expected);
    tree.expected(tree.root, ".mov", expected);
    EXPECT_EQ(reported, expected);
    EXPECT_EQ(search.FilesFound(), expected);
    EXPECT_EQ(expected.size(), 11);
    EXPECT_TRUE(expected.contains(tree.root + "clip.avi"));
    EXPECT_TRUE(expected.contains(tree.root + QString::fromUtf8("s p\xC3\xA4"
                                                                "ce.Avi")));
    EXPECT_EQ(folders.size(), 2 * 5);  // links are not entered
    EXPECT_EQ(folders.front(), tree.root);
    EXPECT_EQ(finished, 1);

    search.setRecurseSubFolders(false);
    search.setSearchFile(tree.root + "*.mov");
    search.Execute();
    EXPECT_EQ(search.FilesFound(), QStringList({tree.root + "b.MOV"}));
}

TEST(FileSearch, StopFromAHandlerEndsTheWalkButNotTheFinish) {
    const Tree tree;
    TFileSearch search;
    QStringList folders;
    int finished = 0;
    search.setOnFileFind([&](const QString&, const TSearchRec&) { search.setStop(true); });
    search.setOnChangeFolder([&](const QString& folder, const TSearchRec&) { folders << folder; });
    search.setOnFinish([&](TFileSearch&) { ++finished; });
    search.setSearchFile(tree.root + "*.avi;*.mov");
    search.Execute();
    EXPECT_EQ(search.FilesFound().size(), 1);  // the entry that set Stop is still recorded
    EXPECT_TRUE(search.Stop());
    EXPECT_EQ(folders, QStringList({tree.root, tree.root}));
    EXPECT_EQ(finished, 1);

    // The next search starts afresh; a stop through the message pump works the same way.
    int pumps = 0;
    search.setOnFileFind([](const QString&, const TSearchRec&) {});
    search.setMessagePump([&] {
        if (++pumps == 3) {
            search.setStop(true);
        }
    });
    search.Execute();
    EXPECT_FALSE(search.FilesFound().isEmpty());
    EXPECT_LT(search.FilesFound().size(), 11);
}

TEST(FileSearch, MissingAndVanishingFoldersYieldNothingAndHandlerErrorsLeave) {
    const Tree tree;
    TFileSearch search;
    QStringList found;
    TSearchRec startRecord;
    startRecord.name = "unset";
    search.setOnFileFind([&](const QString& f, const TSearchRec& i) { found << f + i.name; });
    search.setOnChangeFolder([&](const QString& folder, const TSearchRec& info) {
        if (folder == tree.root + "no/") {
            startRecord = info;
        }
        // A folder removed between entering and listing it cannot be listed.
        if (folder.endsWith("/sub/")) {
            QDir(folder).removeRecursively();
        }
    });
    search.setSearchFile(tree.root + "no/*.avi");
    search.Execute();
    EXPECT_TRUE(found.isEmpty());
    EXPECT_TRUE(startRecord.name.isEmpty());

    search.setSearchFile(tree.root + "*.avi");
    search.Execute();
    EXPECT_TRUE(found.contains(tree.root + "z/w.avi"));
    EXPECT_FALSE(found.contains(tree.root + "sub/x.avi"));

    int finished = 0;
    search.setOnFinish([&](TFileSearch&) { ++finished; });
    search.setOnFileFind([](const QString&, const TSearchRec&) { throw std::runtime_error("x"); });
    EXPECT_THROW(search.Execute(), std::runtime_error);
    EXPECT_EQ(finished, 0);
}

// Names as Linux stores them: bytes, here Latin-1 and cut UTF-8 that are not UTF-8 at all.
struct ByteTree {
    explicit ByteTree(const QByteArray& top) {
        root = encodeNativePath(dir.path()) + "/" + top + "/";
        for (const QByteArray& folder : {QByteArray(), QByteArray("\xE9t\xE9"),
                                         QByteArray("\xE9t\xE9/\xC3"), QByteArray("plain")}) {
            EXPECT_EQ(mkdir((root + folder).constData(), 0755), 0) << folder.toHex().data();
        }
        for (const QByteArray& file :
             {QByteArray("\xE9.avi"), QByteArray("\xE9t\xE9/clip \xFF.avi"),
              QByteArray("\xE9t\xE9/\xC3/deep\x80.MOV"), QByteArray("\xE9t\xE9/readme.txt"),
              QByteArray("plain/ok.avi")}) {
            const int fd = open((root + file).constData(), O_CREAT | O_WRONLY, 0644);
            EXPECT_GE(fd, 0) << file.toHex().data();
            EXPECT_EQ(write(fd, "abc", 3), 3);
            close(fd);
        }
    }
    // Qt's own removal cannot name these files.
    ~ByteTree() { std::filesystem::remove_all(root.constData()); }

    QTemporaryDir dir;
    QByteArray root;  // ends with "/"
};

TEST(FileSearch, NamesThatAreNotUtf8AreFoundWithTheirBytesAndTheirFoldersEntered) {
    const ByteTree tree("top \xE4");
    TFileSearch search;
    QList<QByteArray> found;
    search.setOnFileFind([&](const QString& folder, const TSearchRec& info) {
        EXPECT_FALSE(info.name.isEmpty());
        EXPECT_FALSE(info.isDirectory);
        EXPECT_EQ(info.size, 3);
        found << encodeNativePath(folder + info.name);
    });
    search.setSearchFile(decodeNativePath(tree.root) + "*.avi;*.mov");
    search.Execute();
    std::sort(found.begin(), found.begin() + std::min<qsizetype>(found.size(), 3));
    EXPECT_EQ(found, (QList<QByteArray>{tree.root + "plain/ok.avi", tree.root + "\xE9.avi",
                                        tree.root + "\xE9t\xE9/clip \xFF.avi",
                                        tree.root + "\xE9t\xE9/\xC3/deep\x80.MOV"}));
    for (const QString& path : search.FilesFound()) {
        struct stat info {};
        EXPECT_EQ(stat(encodeNativePath(path).constData(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
    }
}

// Below a path of more than 4096 bytes (PATH_MAX) the tree goes on: its videos are found too.
TEST(FileSearch, FoldersBelowAPathLongerThanPathMaxAreSearched) {
    QTemporaryDir dir;
    struct RemoveTree {  // rm copes with any depth, unlike QDir and nftw
        QString path;
        ~RemoveTree() { test::runProgram("rm", {"-rf", path}); }
    } removeTree{dir.path() + "/deep"};
    const QByteArray name(200, 'd');
    QString expected = dir.path() + "/";
    int folder = ::open(dir.path().toUtf8().constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 25; ++level) {
        const QByteArray part = level == 0 ? QByteArray("deep") : name;
        ASSERT_EQ(::mkdirat(folder, part.constData(), 0700), 0);
        const int next = ::openat(folder, part.constData(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
        expected += QString::fromLatin1(part) + "/";
    }
    ::close(::openat(folder, "clip.avi", O_WRONLY | O_CREAT, 0600));
    ::close(folder);
    ASSERT_GT(expected.size(), 4096);
    TFileSearch search;
    search.setOnFileFind([](const QString&, const TSearchRec&) {});
    search.setSearchFile(dir.path() + "/*.avi");
    search.Execute();
    EXPECT_EQ(search.FilesFound(), QStringList{expected + "clip.avi"});
}

TEST(FileSearch, ANestedSearchRunsToItsEndAndTheOuterOneGoesOnInItsOwnOrder) {
    const Tree tree;
    TFileSearch search;
    QStringList reported;
    bool nested = false;
    search.setOnFileFind([&](const QString& folder, const TSearchRec& info) {
        reported << folder + info.name;
        if (!nested) {
            nested = true;
            const QString outer = search.SearchFile();
            search.setSearchFile(tree.root + "sub/*.mov");
            search.Execute();
            EXPECT_EQ(search.FilesFound(), QStringList({tree.root + "sub/y.mov"}));
            search.setSearchFile(outer);
        }
    });
    search.setSearchFile(tree.root + "*.avi;*.mov");
    search.Execute();
    QStringList expected;
    tree.expected(tree.root, ".avi", expected);
    tree.expected(tree.root, ".mov", expected);
    expected.insert(1, tree.root + "sub/y.mov");
    EXPECT_EQ(reported, expected);
    // The nested search cleared the list; the entry that started it is recorded after it.
    expected.swapItemsAt(0, 1);
    EXPECT_EQ(search.FilesFound(), expected);
}

TEST(FileSearch, SearchTextSplitsIntoOneSpecificationPerMask) {
    EXPECT_EQ(searchSpecifications("/v/*.avi"), QStringList({"/v/*.avi"}));
    EXPECT_EQ(searchSpecifications("/v/*.avi;;*.mov;"),
              QStringList({"/v/*.avi", "/v/", "/v/*.mov"}));
    EXPECT_EQ(searchSpecifications("/v/*.avi;sub/*.mov;*.mpg"),
              QStringList({"/v/*.avi", "/v/sub/*.mov", "/v/sub/*.mpg"}));
    const QString longFolder = "/" + QString(300, QChar('f')) + "/";
    EXPECT_EQ(searchSpecifications(longFolder + "*.avi;*.mp4").back(), longFolder + "*.mp4");

    EXPECT_TRUE(matchesMask("CLIP.Avi", "*.avi"));
    EXPECT_TRUE(matchesMask("a.b.avi", "*.avi"));
    EXPECT_TRUE(matchesMask("noext", "*.*"));
    EXPECT_TRUE(matchesMask("x1.mpg", "x?.MPG"));
    EXPECT_TRUE(matchesMask(QString::fromUtf8("\xC3\x89T\xC3\x89.avi"),
                            QString::fromUtf8("\xC3\xA9t\xC3\xA9*")));
    EXPECT_FALSE(matchesMask("a.avi.bak", "*.avi"));
    EXPECT_FALSE(matchesMask("x12.mpg", "x?.mpg"));
    EXPECT_FALSE(matchesMask("a.avi", ""));
}

TEST(FileSearch, ThrottledPumpSkipsCallsWithinItsInterval) {
    int calls = 0;
    const auto always = throttledPump([&] { ++calls; }, 0);
    const auto hourly = throttledPump([&] { calls += 100; }, 3600 * 1000);
    for (int i = 0; i < 3; ++i) {
        always();
        hourly();
    }
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace mx
