#include "core/path_recovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QList>
#include <QStringList>
#include <memory>

#include "core/native_path.h"

namespace mx {
namespace {

bool exists(const QByteArray& path) {
    struct stat info;
    return ::lstat(path.isEmpty() ? "/" : path.constData(), &info) == 0;
}

// The entries of `folder` whose names, decoded as Qt decodes them, are `shown`.
QList<QByteArray> entriesShownAs(const QByteArray& folder, const QString& shown) {
    QList<QByteArray> found;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        ::opendir(folder.isEmpty() ? "/" : folder.constData()), &::closedir);
    if (!dir) {
        return found;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (QString::fromUtf8(entry->d_name) == shown) {
            found << QByteArray(entry->d_name);
        }
    }
    return found;
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
            const QList<QByteArray> found = entriesShownAs(path, parts[i]);
            if (found.size() != 1) {
                return decodeNativePath(path) + QLatin1Char('/') +
                       parts.mid(i).join(QLatin1Char('/'));
            }
            name = found.first();
        }
        path += '/' + name;
    }
    return decodeNativePath(path);
}

QStringList nativePathsShownAs(const QString& shown) {
    if (!shown.contains(QChar(QChar::ReplacementCharacter)) || exists(encodeNativePath(shown))) {
        return {shown};
    }
    const QStringList parts = shown.split(QLatin1Char('/'));
    QList<QByteArray> paths{encodeNativePath(parts.first())};
    for (qsizetype i = 1; i < parts.size() && !paths.isEmpty(); ++i) {
        const QByteArray given = encodeNativePath(parts[i]);
        QList<QByteArray> longer;
        for (const QByteArray& path : std::as_const(paths)) {
            if (exists(path + '/' + given)) {
                longer << path + '/' + given;
                continue;
            }
            for (const QByteArray& name : entriesShownAs(path, parts[i])) {
                longer << path + '/' + name;
            }
        }
        paths = longer;
    }
    QStringList found;
    for (const QByteArray& path : std::as_const(paths)) {
        found << decodeNativePath(path);
    }
    return found;
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
