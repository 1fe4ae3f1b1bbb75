#include "core/program_folder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <vector>

#include "core/native_path.h"

namespace mx {
namespace {

QString& overrideFolder() {
    static QString folder;
    return folder;
}

// The program file's real path by its bytes; empty when the link cannot be read (no /proc).
QByteArray programFileBytes() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (size_t(length) < buffer.size()) {
            return QByteArray(buffer.data(), qsizetype(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

QString programFolder() {
    if (!overrideFolder().isEmpty()) {
        return overrideFolder();
    }
    // Qt's applicationDirPath() decodes the name with stand-ins, which name no folder.
    const QByteArray file = programFileBytes();
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0) {
        return QCoreApplication::applicationDirPath();
    }
    return decodeNativePath(slash == 0 ? QByteArrayView("/") : QByteArrayView(file).first(slash));
}

QString programFileName() {
    const QByteArray file = programFileBytes();
    const QString path =
        file.isEmpty() ? QCoreApplication::applicationFilePath() : decodeNativePath(file);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void setProgramFolderForTesting(const QString& folder) {
    overrideFolder() = folder;
}

}  // namespace mx
