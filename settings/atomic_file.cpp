#include "settings/atomic_file.h"

#include <QFileInfo>
#include <QSaveFile>

#include "core/error.h"

namespace mx {
namespace {

QString openFailureText(const QString& path, const QSaveFile& file) {
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists() || !folder.isDir()) {
        return QStringLiteral("Path not found");
    }
    if (target.isDir() || file.error() == QFileDevice::PermissionsError) {
        return QStringLiteral("File access denied");
    }
    return file.errorString();
}

QString writeFailureText(const QSaveFile& file) {
    // Qt reports ENOSPC (and a file size limit) as a resource error.
    if (file.error() == QFileDevice::ResourceError) {
        return QStringLiteral("Disk full");
    }
    return file.errorString();
}

}  // namespace

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    // A directory in the way would make the final rename fail only after all the writing.
    if (QFileInfo(path).isDir()) {
        throw Error(QStringLiteral("File access denied"));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw Error(openFailureText(path, file));
    }
    if (file.write(bytes) != bytes.size()) {
        const QString text = writeFailureText(file);
        file.cancelWriting();
        throw Error(text);
    }
    if (!file.commit()) {
        throw Error(writeFailureText(file));
    }
}

}  // namespace mx
