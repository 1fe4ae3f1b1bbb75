#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <random>

#include "common/special_files.h"
#include "common/test_support.h"
#include "help/chm_library.h"
#include "help_fixture.h"

namespace mx {
namespace {

QByteArray shippedHelp() {
    return test::readFile(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/mxextractor_help.chm"));
}

// Opens the bytes and reads every object the intact file holds, as the viewer may; the damaged
// reads must fail or give whole objects, never crash or hang.
int readEverything(const ChmLibrary& library, const QByteArray& bytes, const QStringList& names) {
    std::unique_ptr<ChmArchive> archive = library.openBytes(bytes);
    if (!archive) {
        return -1;
    }
    int read = 0;
    for (const QString& name : names + archive->files()) {
        if (archive->read(name)) {
            ++read;
        }
    }
    return read;
}

TEST(ChmReader, ReadsTheShippedHelpFileByItsObjectNames) {
    ChmLibrary library;
    ASSERT_TRUE(library.isLoaded()) << kChmLibraryName;
    const QByteArray good = shippedHelp();
    std::unique_ptr<ChmArchive> archive = library.openBytes(good, "help.chm");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->path(), "help.chm");
    const QStringList files = archive->files();
    EXPECT_TRUE(files.contains("/interface.htm"));
    EXPECT_TRUE(files.contains("/mxextractor_help.hhc"));
    for (const QString& name : files) {
        EXPECT_FALSE(name.startsWith("/#") || name.startsWith("/$")) << name.toStdString();
    }
    const std::optional<QByteArray> page = archive->read("/interface.htm");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->contains("</html>"));
    EXPECT_EQ(archive->read("/INTERFACE.HTM"), page) << "links ignore case";
    EXPECT_FALSE(archive->read("/nosuch.htm"));
    EXPECT_TRUE(archive->read("/images/logo.png")->startsWith("\x89PNG"));

    // Reading the same objects again, in another order, gives the same bytes.
    const std::optional<QByteArray> contents = archive->read("/mxextractor_help.hhc");
    EXPECT_EQ(archive->read("/interface.htm"), page);
    EXPECT_EQ(archive->read("/mxextractor_help.hhc"), contents);
}

TEST(ChmReader, SpecialFilesAreNotOpened) {
    ChmLibrary library;
    QTemporaryDir dir;
    const QString fifo = dir.filePath("mxextractor_help.chm");
    ASSERT_TRUE(test::makeFifo(fifo));
    EXPECT_TRUE(test::finishesWithin([&] { EXPECT_FALSE(library.open(fifo)); }, fifo));
    EXPECT_FALSE(library.open("/dev/zero"));
    EXPECT_FALSE(library.open(dir.path()));
    EXPECT_FALSE(library.open(dir.filePath("missing.chm")));
}

// The old reader decompressed into a fixed buffer: one changed field of the compression
// parameters plus appended bytes wrote 100,000 bytes past it. Damaged copies of every kind
// now open and read cleanly or are refused.
TEST(ChmReader, DamagedFilesAreReadCleanlyOrRefused) {
    ChmLibrary library;
    const QByteArray good = shippedHelp();
    const QStringList names = library.openBytes(good)->files();
    const qsizetype control = good.indexOf("LZXC");
    ASSERT_GT(control, 4) << "the compression parameters of the content section";

    QElapsedTimer timer;
    timer.start();
    // Each field of the parameters (version, reset interval, window size, cache size) set to
    // values the format does not allow, with a tail of noise appended.
    const std::uint32_t values[] = {0, 1, 3, 0x7FFFFFFF, 0xFFFFFFFF, 0x100000, 0x10000};
    std::mt19937 random(11);
    for (int field = 0; field < 4; ++field) {
        for (const std::uint32_t value : values) {
            QByteArray bytes = good;
            qToLittleEndian(value, bytes.data() + control + 4 + 4 * field);
            QByteArray tail(100000, Qt::Uninitialized);
            for (char& c : tail) {
                c = char(random());
            }
            EXPECT_LE(readEverything(library, bytes + tail, names), names.size() * 2);
            EXPECT_LE(readEverything(library, bytes, names), names.size() * 2);
        }
    }
    // Random damage anywhere: flipped bytes, 32-bit fields overwritten, cut ends, noise tails.
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = good;
        const int edits = 1 + int(random() % 8);
        for (int i = 0; i < edits; ++i) {
            const auto at = qsizetype(random() % std::uint32_t(bytes.size() - 4));
            if (random() % 2) {
                bytes[at] = char(bytes[at] ^ (1 << (random() % 8)));
            } else {
                qToLittleEndian(std::uint32_t(random()), bytes.data() + at);
            }
        }
        if (random() % 4 == 0) {
            bytes.truncate(qsizetype(random() % std::uint32_t(bytes.size())));
        } else if (random() % 3 == 0) {
            bytes += QByteArray(qsizetype(random() % 50000), char(random()));
        }
        readEverything(library, bytes, names);
    }
    EXPECT_LT(timer.elapsed(), 60000) << "ms";
}

// A FIFO in the help file's place: pressing Help says the file cannot be opened, at once.
using ChmHelpFile = test::HelpTest;

TEST_F(ChmHelpFile, ThatIsAFifoCannotBeOpened) {
    ASSERT_TRUE(test::makeFifo(helpFilePath()));
    HelpModule module;
    QWidget owner;
    TNARVHelp help(&owner);
    test::FifoGuard guard(helpFilePath());
    help.setKeyword(QStringLiteral("interface"));
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_FALSE(guard.freed()) << "the open blocked";
    EXPECT_EQ(messages, QStringList{"Cannot open the help file\r" + helpFilePath()});
}

}  // namespace
}  // namespace mx
