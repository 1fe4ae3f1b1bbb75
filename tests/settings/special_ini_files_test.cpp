#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "common/special_files.h"
#include "core/error.h"
#include "settings/ini_file.h"

namespace mx {
namespace {

// A settings file that is a FIFO or a device is unreadable: reading gives the defaults at once,
// and saving refuses to replace it.
TEST(IniFileSpecialFiles, FifosAndDevicesReadAsUnreadable) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("mxex2.ini");
    ASSERT_TRUE(test::makeFifo(fifo));
    EXPECT_TRUE(test::finishesWithin(
        [&] {
            IniFile ini(fifo);
            EXPECT_EQ(ini.readString("options", "pathEdit", "default"), "default");
            ini.writeString("options", "pathEdit", "/out");
            EXPECT_THROW(ini.save(), Error);
        },
        fifo));
    struct stat info {};
    ASSERT_EQ(::stat(fifo.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "left in place";

    IniFile zero(QStringLiteral("/dev/zero"));
    EXPECT_EQ(zero.readInteger("options", "jpgTrackBar", 75), 75);
}

// A settings file of 200,000 lines reads, changes and saves in linear time.
TEST(IniFileSize, LargeFilesReadAndSaveInLinearTime) {
    QTemporaryDir dir;
    QByteArray text = "[other]\r\n";
    for (int i = 0; i < 200000; ++i) {
        text += "key" + QByteArray::number(i) + "=value\r\n";
    }
    text += "[options]\r\npathEdit=/old\r\n";
    const QString path = dir.filePath("mxex2.ini");
    ASSERT_TRUE(test::writeNativeFile(path, text));
    QElapsedTimer timer;
    timer.start();
    IniFile ini(path);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(ini.readString("options", "pathEdit", ""), "/old");
        ini.writeString("options", "key" + QString::number(i), "v");
    }
    ini.save();
    EXPECT_EQ(IniFile(path).readString("other", "key199999", ""), "value");
    std::printf("[ measured ] 200,000-line settings file, 20 reads and writes, save: %lld ms\n",
                static_cast<long long>(timer.elapsed()));
    EXPECT_LT(timer.elapsed(), 20000) << "ms";
}

}  // namespace
}  // namespace mx
