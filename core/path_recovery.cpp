#include "core/path_recovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QStringList>

#include "core/native_path.h"

namespace mx {
namespace {

bool exists(const QByteArray& path) {
    struct stat info;
    return ::lstat(path.isEmpty() ? "/" : path.constData(), &info) == 0;
}

// The one entry of `folder` whose name, decoded as Qt decodes it, is `shown`; empty when
// there is none or more than one.
QByteArray entryShownAs(const QByteArray& folder, const QString& shown) {
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir) {
        return {};
    }
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QString::fromUtf8(entry->d_name) == shown) {
            found = entry->d_name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : QByteArray();
}

}  // namespace

QString recoverNativePath(const QString& shown) {
    if (!shown.contains(QChar(QChar::ReplacementCharacter)) || exists(encodeNativePath(shown))) {
        return shown;
    }
    const QStringList parts = shown.split(QLatin1Char('/'));
    QByteArray path = encodeNativePath(parts.first());
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray given = encodeNativePath(parts[i]);
        QByteArray name = given;
        if (!exists(path + '/' + given)) {
            name = entryShownAs(path, parts[i]);
            if (name.isEmpty()) {
                return decodeNativePath(path) + QLatin1Char('/') +
                       parts.mid(i).join(QLatin1Char('/'));
            }
        }
        path += '/' + name;
    }
    return decodeNativePath(path);
}

QString nativeLocalFile(const QUrl& url) {
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost")) {
        return QStringLiteral("//") + host + decodeNativePath(path);
    }
    return decodeNativePath(path);
}

}  // namespace mx
