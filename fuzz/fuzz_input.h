#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace mx::fuzz {

// Readers that take a path get the input through a file of this process's own.
inline QString inputFile(const std::uint8_t* data, std::size_t size, const char* name) {
    static const QString folder = [] {
        char pattern[] = "/tmp/mx_fuzz_XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) {
            std::abort();
        }
        static QByteArray madeFolder(made);
        std::atexit([] { QDir(QString::fromLocal8Bit(madeFolder)).removeRecursively(); });
        return QString::fromLocal8Bit(made);
    }();
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name);
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    return path;
}

inline QByteArray inputBytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

}  // namespace mx::fuzz
