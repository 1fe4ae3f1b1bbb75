#include "common/file_system_fixtures.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace mx::test {

SmallDisk::SmallDisk(qint64 bytes, bool readOnly) {
    if (!m_parent.isValid()) {
        m_skipReason = QStringLiteral("no temporary folder");
        return;
    }
    m_mountPoint = m_parent.path() + QStringLiteral("/disk");
    if (::mkdir(m_mountPoint.toUtf8().constData(), 0755) != 0) {
        m_skipReason = QStringLiteral("cannot make the mount point");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    const unsigned long flags = readOnly ? MS_RDONLY : 0;
    if (::mount("tmpfs", m_mountPoint.toUtf8().constData(), "tmpfs", flags, options.constData()) !=
        0) {
        m_skipReason = QStringLiteral("cannot mount a tmpfs here (needs root): ") +
                       QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        ::umount2(m_mountPoint.toUtf8().constData(), MNT_DETACH);
    }
}

qint64 SmallDisk::freeBytes() const {
    struct statvfs info;
    if (::statvfs(m_mountPoint.toUtf8().constData(), &info) != 0) {
        return -1;
    }
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool SmallDisk::fillLeaving(qint64 freeBytes) {
    const QByteArray filler = (m_mountPoint + QStringLiteral("/.filler")).toUtf8();
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) {
        return false;
    }
    const std::vector<char> block(4096, 'f');
    bool ok = true;
    while (ok && this->freeBytes() > freeBytes) {
        const qint64 chunk = std::min<qint64>(qint64(block.size()), this->freeBytes() - freeBytes);
        ok = ::write(fd, block.data(), size_t(std::max<qint64>(chunk, 1))) > 0;
    }
    ::close(fd);
    return this->freeBytes() <= freeBytes;
}

void SmallDisk::emptyFiller() {
    ::unlink((m_mountPoint + QStringLiteral("/.filler")).toUtf8().constData());
}

NativeTempDir::NativeTempDir() {
    QByteArray pattern = qgetenv("TMPDIR");
    if (pattern.isEmpty()) {
        pattern = "/tmp";
    }
    pattern += "/mx-test-XXXXXX";
    if (::mkdtemp(pattern.data())) {
        m_path = pattern;
    }
}

NativeTempDir::~NativeTempDir() {
    if (m_path.isEmpty()) {
        return;
    }
    ::nftw(
        m_path.constData(),
        [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

RemovedAtEnd::~RemovedAtEnd() {
    ::remove(path.constData());
}

QByteArray readNativeFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray bytes;
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, got);
    }
    ::close(fd);
    return bytes;
}

bool writeNativeFile(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

bool nativeExists(const QByteArray& path) {
    struct stat info;
    return ::lstat(path.constData(), &info) == 0;
}

QList<QByteArray> nativeEntries(const QByteArray& folder) {
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                names << name;
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace mx::test
