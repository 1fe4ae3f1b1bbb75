#include "joblist/job_list.h"

namespace mx {

void JobList::add(const QString& path) {
    addNumbered(QString::number(count() + 1), path);
}

void JobList::addNumbered(const QString& number, const QString& path) {
    m_rows.push_back({number, path});
    emit rowAppended(count() - 1);
}

void JobList::remove(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    m_rows.erase(m_rows.begin() + index);
    emit rowRemoved(index);
}

void JobList::clear() {
    if (m_rows.empty()) {
        return;
    }
    m_rows.clear();
    emit cleared();
}

QString pathExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/'))) {
        return {};
    }
    return path.mid(dot);
}

bool isAcceptedDrop(const QString& path) {
    const QString extension = pathExtension(path);
    return !extension.isEmpty() &&
           QLatin1String(VideoMaskList).contains(extension, Qt::CaseSensitive);
}

}  // namespace mx
