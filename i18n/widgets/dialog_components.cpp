#include "i18n/widgets/dialog_components.h"

namespace mx {

FileDialogComponent::FileDialogComponent(QObject* parent, const QString& name) : QObject(parent) {
    setObjectName(name);
}

QStringList FileDialogComponent::nameFilters() const {
    const QStringList parts = m_filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts).join(u' ');
        if (!patterns.isEmpty()) {
            filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
        }
    }
    return filters;
}

FolderDialogComponent::FolderDialogComponent(QObject* parent, const QString& name)
    : QObject(parent) {
    setObjectName(name);
}

}  // namespace mx
