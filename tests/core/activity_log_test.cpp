#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "core/activity_log.h"

namespace mx {
namespace {

TEST(ActivityLog, AppendsStampedRowsAndClearsThemAll) {
    ActivityLog log;
    std::vector<int> appended;
    int clears = 0;
    QObject::connect(&log, &ActivityLog::rowAppended,
                     [&](int index) { appended.push_back(index); });
    QObject::connect(&log, &ActivityLog::cleared, [&] { ++clears; });

    log.LogMessage(QStringLiteral("Start extract"));
    log.LogMessage(QString());  // an empty message still makes a row
    log.LogMessage(QStringLiteral("  kept exactly\t"));
    ASSERT_EQ(log.rows().size(), 3u);
    EXPECT_EQ(appended, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(log.texts(), (QStringList{"Start extract", "", "  kept exactly\t"}));
    const LogRow& empty = log.rows()[1];
    EXPECT_EQ(empty.date, QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    EXPECT_FALSE(empty.time.isEmpty());
    // The long time format without the zone name Qt's long format adds.
    EXPECT_EQ(empty.time.count(QLatin1Char(':')), 2) << empty.time.toStdString();

    log.clear();
    EXPECT_TRUE(log.rows().empty());
    EXPECT_EQ(clears, 1);
    log.LogMessage(QStringLiteral("again"));
    EXPECT_EQ(appended.back(), 0);
}

}  // namespace
}  // namespace mx
