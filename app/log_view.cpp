#include "app/log_view.h"

#include <QDate>
#include <QHeaderView>
#include <QStyle>
#include <QTime>
#include <algorithm>

#include "core/activity_log.h"
#include "widgets/design_scale.h"

namespace mx {
namespace {

constexpr char kDesignWidthsProperty[] = "mxDesignWidths";

// Widens the date and time columns' designed widths to the widest texts the regional formats
// give: the design's 81 pixels hold an English date and time, not "23時59分59秒".
void fitClockColumns(QTableWidget* view) {
    QVariantList widths = view->property(kDesignWidthsProperty).toList();
    const QFontMetrics metrics(view->font());
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    auto widest = [&](const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts) {
            width = std::max(width, metrics.horizontalAdvance(text) + 2 * margin + 1);
        }
        return width;
    };
    QStringList dates;
    for (const int month : {1, 5, 9, 12}) {
        dates << ActivityLog::dateText(QDate(2000, month, 28));
    }
    QStringList times;
    for (const int hour : {0, 10, 12, 23}) {
        times << ActivityLog::timeText(QTime(hour, 58, 58));
    }
    const int needed[] = {widest(dates), widest(times)};
    for (int column = 0; column < 2 && column < widths.size(); ++column) {
        widths[column] = std::max(widths[column].toInt(), needed[column]);
    }
    view->setProperty(kDesignWidthsProperty, widths);
}

}  // namespace

void setUpReportView(QTableWidget* view, const QStringList& captions, const QList<int>& widths) {
    view->setColumnCount(static_cast<int>(captions.size()));
    view->setHorizontalHeaderLabels(captions);
    QVariantList designWidths;
    for (int i = 0; i < widths.size(); ++i) {
        view->setColumnWidth(i, scaled(widths[i]));
        designWidths << scaled(widths[i]);
    }
    view->setProperty(kDesignWidthsProperty, designWidths);
    view->setShowGrid(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setHighlightSections(false);
    view->setWordWrap(false);
    view->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void fitColumnsToCaptions(QTableWidget* view) {
    const QVariantList designWidths = view->property(kDesignWidthsProperty).toList();
    QHeaderView* header = view->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const QFontMetrics metrics(header->font());
    // The last column stretches to the window's edge in the design; it is left as it is.
    for (int i = 0; i + 1 < view->columnCount() && i < designWidths.size(); ++i) {
        const QTableWidgetItem* item = view->horizontalHeaderItem(i);
        const int caption = item ? metrics.horizontalAdvance(item->text()) + 2 * margin + 2 : 0;
        view->setColumnWidth(i, std::max(designWidths[i].toInt(), caption));
    }
}

void appendReportRow(QTableWidget* view, const QStringList& texts) {
    const int row = view->rowCount();
    view->insertRow(row);
    for (int column = 0; column < texts.size() && column < view->columnCount(); ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        if (column > 0) {
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        }
        view->setItem(row, column, item);
    }
}

LogView::LogView(ActivityLog& log, QWidget* parent) : QTableWidget(parent), m_log(log) {
    setObjectName(QStringLiteral("lvLog"));
    setUpReportView(this, {QStringLiteral("date"), QStringLiteral("time"), QStringLiteral("info")},
                    {81, 81, 488});
    fitClockColumns(this);
    fitColumnsToCaptions(this);
    connect(&m_log, &ActivityLog::rowAppended, this, &LogView::appendRow);
    connect(&m_log, &ActivityLog::cleared, this, [this] { setRowCount(0); });
}

void LogView::appendRow(int index) {
    const LogRow& row = m_log.rows()[static_cast<size_t>(index)];
    appendReportRow(this, {row.date, row.time, row.text});
    scrollToBottom();
}

}  // namespace mx
