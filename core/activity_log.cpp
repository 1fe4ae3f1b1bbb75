#include "core/activity_log.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace mx {

void ActivityLog::LogMessage(const QString& text) {
    LogRow row;
    row.date = currentDateText();
    row.time = currentTimeText();
    row.text = text;
    m_rows.push_back(std::move(row));
    emit rowAppended(static_cast<int>(m_rows.size()) - 1);
}

void ActivityLog::clear() {
    m_rows.clear();
    emit cleared();
}

QStringList ActivityLog::texts() const {
    QStringList result;
    result.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const LogRow& row : m_rows) {
        result << row.text;
    }
    return result;
}

QString ActivityLog::currentDateText() {
    return dateText(QDate::currentDate());
}

QString ActivityLog::currentTimeText() {
    return timeText(QTime::currentTime());
}

QString ActivityLog::dateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString ActivityLog::timeText(const QTime& time) {
    const QLocale locale = QLocale::system();
    return locale.toString(time, timeFormatWithoutZone(locale));
}

QString ActivityLog::timeFormatWithoutZone(const QLocale& locale) {
    // The long time format of the regional settings: hours, minutes, seconds and the AM/PM
    // marker where the locale uses one. Qt's long format also names the time zone ("t" outside
    // quotes), which the log does not show; the brackets some locales put around it go with it.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            kept += c;
            continue;
        }
        if (quoted || c != QLatin1Char('t')) {
            kept += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == QLatin1Char('t')) {
            ++i;
        }
        // Brackets (with blanks inside) right around the zone.
        qsizetype open = kept.size();
        while (open > 0 && kept[open - 1].isSpace()) {
            --open;
        }
        qsizetype close = i + 1;
        while (close < format.size() && format[close].isSpace()) {
            ++close;
        }
        const bool bracketed =
            open > 0 && close < format.size() &&
            ((kept[open - 1] == QLatin1Char('(') && format[close] == QLatin1Char(')')) ||
             (kept[open - 1] == QLatin1Char('[') && format[close] == QLatin1Char(']')));
        if (bracketed) {
            kept.truncate(open - 1);
            i = close;
        }
        kept += QLatin1Char(' ');
    }
    return kept.simplified();
}

}  // namespace mx
