#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace mx::test {

// A small tmpfs of its own, mounted for the test's lifetime, so a full disk is a real one.
// Mounting needs root; when it cannot be done, mounted() is false and skipReason() says why.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes, bool readOnly = false);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }
    QString path() const { return m_mountPoint; }

    // Fills the disk with a filler file until at most `freeBytes` (rounded down to whole pages)
    // stay free. True when that worked.
    bool fillLeaving(qint64 freeBytes);
    qint64 freeBytes() const;
    // Frees the filler again.
    void emptyFiller();

private:
    QTemporaryDir m_parent;
    QString m_mountPoint;
    bool m_mounted = false;
    QString m_skipReason;
};

// A temporary folder removed with everything in it by byte names (QTemporaryDir cannot remove
// entries whose names are not UTF-8).
class NativeTempDir {
public:
    NativeTempDir();
    ~NativeTempDir();
    NativeTempDir(const NativeTempDir&) = delete;
    NativeTempDir& operator=(const NativeTempDir&) = delete;

    QByteArray bytes() const { return m_path; }
    QString path() const { return QString::fromUtf8(m_path); }

private:
    QByteArray m_path;
};

// Removes one entry (a file or an empty folder) when it goes out of scope: for names that are not
// UTF-8 inside a QTemporaryDir, which cannot remove them and would stay behind with its folder.
struct RemovedAtEnd {
    QByteArray path;
    ~RemovedAtEnd();
};

// Files by their native byte names (QFile would mangle bytes that are not UTF-8).
QByteArray readNativeFile(const QByteArray& path);
bool writeNativeFile(const QByteArray& path, const QByteArray& bytes);
bool nativeExists(const QByteArray& path);
// The names in a folder, sorted, without "." and "..".
QList<QByteArray> nativeEntries(const QByteArray& folder);

}  // namespace mx::test
