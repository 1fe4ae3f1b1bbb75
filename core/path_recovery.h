#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace mx {

// Qt's file dialogs and file classes read names with QFile::decodeName, which turns every byte
// that is not UTF-8 into U+FFFD: the path they hand back names no file. This finds the real
// one: each component that does not exist is replaced by the one entry of its folder whose
// decoded name it equals (kept as bytes, see native_path.h). A component that matches no
// entry, or several, is kept as given, with everything after it (a new file's typed name).
QString recoverNativePath(const QString& shown);

// Every existing path that Qt shows as `shown`: names that differ only in bytes that are not
// UTF-8 look alike there, so several may stand behind one text. Empty when none exists; `shown`
// alone when it holds no stand-in or names a file as it is.
QStringList nativePathsShownAs(const QString& shown);

// The local file a file: URL names, by its percent-encoded bytes (QUrl::toLocalFile replaces
// the bytes that are not UTF-8). A URL with a host other than localhost gives "//host/path".
QString nativeLocalFile(const QUrl& url);

}  // namespace mx
