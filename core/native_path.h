#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace mx {

// File names on Linux are bytes; the program keeps paths as QString. These two functions map
// between them without loss: valid UTF-8 decodes as usual, and every byte that is not part of
// a valid UTF-8 sequence becomes the lone low surrogate U+DC00 + byte (as Python's
// "surrogateescape" does). encodeNativePath(decodeNativePath(b)) == b for every byte string.
//
// Qt's own file classes (QFile, QFileInfo, QDir) convert with QFile::encodeName, which turns
// such a surrogate into "?" or U+FFFD: every open, stat or directory read of a path that may
// come from the file system goes through encodeNativePath instead.
QString decodeNativePath(QByteArrayView bytes);
QByteArray encodeNativePath(const QString& path);

// True when the path holds an escaped byte, i.e. it is not text.
bool hasEscapedBytes(const QString& path);

// The path as shown to a person: each escaped byte replaced by U+FFFD, so it is visibly not
// what the bytes say. Never open the result.
QString displayPath(const QString& path);
// The same for a text shown on one line (a list row, a log row, the status bar): control
// characters, LF and CR among them, are replaced by U+FFFD too, so a name cannot break the line.
QString displayLine(const QString& text);

}  // namespace mx
