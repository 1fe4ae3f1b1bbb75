#pragma once

#include <QTableWidget>

namespace mx {

class ActivityLog;

// The activity log's list view: three columns (date, time, info), grid lines, whole-row
// selection. It follows the model: every appended row is shown and scrolled into view, a clear
// empties the view.
class LogView : public QTableWidget {
    Q_OBJECT
public:
    LogView(ActivityLog& log, QWidget* parent = nullptr);

private:
    void appendRow(int index);

    ActivityLog& m_log;
};

// Sets up a table as a report-style list view: captions and widths of its columns, grid lines,
// whole-row selection, no row headers, only the first column's texts editable in place.
void setUpReportView(QTableWidget* view, const QStringList& captions, const QList<int>& widths);
// Widens a column of a report-style list view beyond its designed width where its caption
// (after a change of language, say) would not show whole; never narrows one below the design.
void fitColumnsToCaptions(QTableWidget* view);
// Appends a row of texts to a report-style list view.
void appendReportRow(QTableWidget* view, const QStringList& texts);

}  // namespace mx
