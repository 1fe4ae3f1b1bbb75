#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace mx {

// The settings of a file open or save dialog as a window keeps them; the window shows the
// dialog itself. Filter is "description|patterns|description|patterns...", patterns separated
// by ";" ("VIDEO|*.avi;*.mov|All Files|*.*"). Filter, DefaultExt and Title are translatable.
class FileDialogComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Filter READ filter WRITE setFilter)
    Q_PROPERTY(QString DefaultExt READ defaultExt WRITE setDefaultExt)
    Q_PROPERTY(QString Title READ title WRITE setTitle)

public:
    explicit FileDialogComponent(QObject* parent = nullptr, const QString& name = QString());

    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    QString defaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& extension) { m_defaultExt = extension; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }

    // The filter as Qt file dialogs take it: "VIDEO (*.avi *.mov)", "All Files (*.*)". A
    // description without patterns is dropped.
    QStringList nameFilters() const;

private:
    QString m_filter;
    QString m_defaultExt;
    QString m_title;
};

// The settings of a folder picker: the translatable Title shown above the folder tree and
// the folder chosen by the last successful run of the picker.
class FolderDialogComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title READ title WRITE setTitle)
    Q_PROPERTY(QString DirName READ dirName)

public:
    explicit FolderDialogComponent(QObject* parent = nullptr, const QString& name = QString());

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString dirName() const { return m_dirName; }
    void setDirName(const QString& folder) { m_dirName = folder; }

private:
    QString m_title;
    QString m_dirName;
};

}  // namespace mx
