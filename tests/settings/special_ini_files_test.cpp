#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>

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

}  // namespace
}  // namespace mx
