#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <vector>

namespace mx {

struct LogRow {
    QString date;  // local date in the user's short date format
    QString time;  // local time in the user's long time format
    QString text;  // the message exactly as logged
};

// The rows of the activity log. Append only; the one removal is clearing every row at the
// start of a batch run. The list view of the main window shows this model.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Appends (date, time, text) stamped with the local clock at this moment.
    void LogMessage(const QString& text);
    void clear();

    const std::vector<LogRow>& rows() const { return m_rows; }
    // The message texts alone, oldest first.
    QStringList texts() const;

    static QString currentDateText();
    static QString currentTimeText();
    // A date and a time as the log shows them, in the regional formats.
    static QString dateText(const QDate& date);
    static QString timeText(const QTime& time);
    // The locale's long time format without the time zone and the brackets around it.
    static QString timeFormatWithoutZone(const QLocale& locale);

signals:
    void rowAppended(int index);
    void cleared();

private:
    std::vector<LogRow> m_rows;
};

}  // namespace mx
