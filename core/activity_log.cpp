#include "core/activity_log.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
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
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString ActivityLog::currentTimeText() {
    // The long time format of the regional settings: hours, minutes, seconds and the AM/PM
    // marker where the locale uses one. Qt's long format also names the time zone, which the
    // log does not show.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    format = format.trimmed();
    return QLocale::system().toString(QTime::currentTime(), format);
}

}  // namespace mx
