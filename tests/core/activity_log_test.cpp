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

// Every locale Qt knows: the long time text keeps hours, minutes, seconds and any AM/PM marker
// and leaves out the zone name with whatever brackets the locale puts around it.
TEST(ActivityLog, TimeTextsOfEveryLocaleHaveNoZoneAndNoEmptyBrackets) {
    const QTime evening(19, 4, 59);
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    int checked = 0;
    for (const QLocale& locale : locales) {
        const QString format = ActivityLog::timeFormatWithoutZone(locale);
        const QString text = locale.toString(evening, format);
        const std::string where = locale.name().toStdString() + " \"" +
                                  locale.timeFormat(QLocale::LongFormat).toStdString() +
                                  "\" -> \"" + text.toStdString() + "\"";
        QString unquoted;  // the format's letters outside quoted literals
        bool quoted = false;
        for (const QChar c : format) {
            if (c == QLatin1Char('\'')) {
                quoted = !quoted;
            } else if (!quoted) {
                unquoted += c;
            }
        }
        EXPECT_FALSE(unquoted.contains(QLatin1Char('t'))) << where;
        EXPECT_TRUE(unquoted.contains(QLatin1Char('s'))) << where;
        EXPECT_EQ(text, text.trimmed()) << where;
        EXPECT_FALSE(text.contains(QLatin1String("  "))) << where;
        for (const char* empty : {"()", "( )", "[]", "[ ]", "\u200f()", "( \u200f)"}) {
            EXPECT_FALSE(text.contains(QString::fromUtf8(empty))) << where;
        }
        // The seconds are there, in the locale's digits.
        EXPECT_TRUE(text.contains(locale.toString(59))) << where;
        ++checked;
    }
    EXPECT_EQ(checked, locales.size());

    // The locales where the brackets stayed behind.
    for (const char* name : {"es_ES", "ca_ES", "hr_HR", "fa_IR"}) {
        const QLocale locale(QString::fromLatin1(name));
        const QString text = locale.toString(evening, ActivityLog::timeFormatWithoutZone(locale));
        EXPECT_FALSE(text.contains(QLatin1Char('('))) << name << " " << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char(')'))) << name << " " << text.toStdString();
    }
    // A 12-hour locale keeps its marker; quoted text is never taken for the zone.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(us.toString(evening, ActivityLog::timeFormatWithoutZone(us)), "7:04:59 PM");
}

}  // namespace
}  // namespace mx
