#pragma once

#include <QObject>
#include <QString>
#include <vector>

namespace mx {

// The masks of the video files the program takes: the drop filter looks extensions up in this
// text and "Add Folder" searches for them.
inline constexpr char VideoMaskList[] = "*.avi;*.mov;*.wmv;*.mpg;*.vob;*.mpeg;*.mp4";

struct JobRow {
    QString number;  // display number, fixed when the row was added
    QString path;    // exactly as the source gave it
};

// The source files of a batch, in run order. Rows are only ever appended at the end; a row's
// number is never recomputed, so after a removal numbers can repeat ("1", "3", "3").
class JobList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    int count() const { return int(m_rows.size()); }
    const JobRow& row(int index) const { return m_rows[size_t(index)]; }
    const std::vector<JobRow>& rows() const { return m_rows; }

    // Appends a row numbered by the row count after the append (its 1-based position now).
    void add(const QString& path);
    // Appends a row with a number of the caller's (a job list file counts its own rows).
    void addNumbered(const QString& number, const QString& path);
    // Removes the row at `index`; an index of no row (-1 for "no selection") does nothing.
    void remove(int index);
    void clear();

signals:
    void rowAppended(int index);
    void rowRemoved(int index);
    void cleared();

private:
    std::vector<JobRow> m_rows;
};

// The extension of a path: from the last "." after the last "/", dot included; empty when there
// is no such dot.
QString pathExtension(const QString& path);

// The drop rule: a path is taken when its extension is not empty and occurs anywhere inside
// VideoMaskList, compared case-sensitively (".avi" and ".m" pass, ".AVI" and ".mp3" do not).
bool isAcceptedDrop(const QString& path);

}  // namespace mx
