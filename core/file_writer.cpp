#include "core/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "core/native_path.h"

namespace mx {
namespace {

using Step = FileWriteError::Step;

// The temporary file being written, for a signal handler that ends the process: a path in one of
// two buffers, taken in turns, so the one a handler may be reading is never the one being filled.
// The program writes one file at a time.
std::array<std::array<char, PATH_MAX>, 2> pathBuffers;
std::atomic<const char*> pathInProgress{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "read from signal handlers");

void announceTemporaryFile(const QByteArray& path) {
    static std::size_t turn = 0;
    if (path.size() >= PATH_MAX) {
        pathInProgress = nullptr;  // such a path cannot be created anyway
        return;
    }
    turn ^= 1;
    std::memcpy(pathBuffers[turn].data(), path.constData(), size_t(path.size()) + 1);
    pathInProgress = pathBuffers[turn].data();
}

// Owns the temporary file until it is renamed into place: any way out before that closes and
// unlinks it, so no partial file stays behind.
class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray& target) {
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray folder = target.left(slash + 1);
        const QByteArray name = target.mid(slash + 1);
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            // Hidden, and long names shortened, so the temporary name stays within NAME_MAX.
            const QByteArray suffix = '.' + QByteArray::number(random() % 0xFFFFFFFFFFull, 36);
            m_path = folder + '.' + name.left(NAME_MAX - 2 - suffix.size()) + suffix;
            // Announced before it exists: a handler running while the file is being created
            // still finds it.
            announceTemporaryFile(m_path);
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                break;
            }
            pathInProgress = nullptr;  // not ours to remove
            if (errno != EEXIST) {
                break;
            }
        }
        if (m_fd < 0) {
            throw FileWriteError(Step::Create, errno);
        }
    }
    ~TemporaryFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_renamed) {
            ::unlink(m_path.constData());
        }
        pathInProgress = nullptr;
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }

    void writeAll(QByteArrayView bytes) {
        const char* data = bytes.data();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, size_t(left));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                // A write that makes no progress is a full device.
                throw FileWriteError(Step::Write, written < 0 ? errno : ENOSPC);
            }
            data += written;
            left -= written;
        }
    }

    void closeAndRename(const QByteArray& target) {
        if (::fsync(m_fd) != 0 && errno != EINVAL) {  // EINVAL: a file system without fsync
            throw FileWriteError(Step::Write, errno);
        }
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            throw FileWriteError(Step::Write, errno);
        }
        if (::rename(m_path.constData(), target.constData()) != 0) {
            throw FileWriteError(Step::Write, errno);
        }
        m_renamed = true;
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_renamed = false;
};

// The file a write to `path` must replace: a symbolic link's target, so the link stays.
QByteArray replacedFile(const QByteArray& path) {
    struct stat info;
    if (::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.constData(), nullptr)) {
            QByteArray target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

}  // namespace

void removeTemporaryFileInProgress() noexcept {
    if (const char* path = pathInProgress.load()) {
        ::unlink(path);
    }
}

FileWriteError::FileWriteError(Step step, int errorNumber)
    : std::runtime_error(std::strerror(errorNumber)), m_step(step), m_errorNumber(errorNumber) {}

QString FileWriteError::systemText() const {
    return QString::fromLocal8Bit(std::strerror(m_errorNumber));
}

void writeFileSafely(const QString& path, QByteArrayView bytes) {
    const QByteArray target = replacedFile(encodeNativePath(path));
    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    // A folder in the way would make the rename fail only after all the writing.
    if (exists && S_ISDIR(old.st_mode)) {
        throw FileWriteError(Step::Create, EISDIR);
    }
    if (target.isEmpty() || target.endsWith('/')) {
        throw FileWriteError(Step::Create, target.isEmpty() ? ENOENT : EISDIR);
    }
    // A file its owner made read-only is not replaced behind his back.
    if (exists && ::access(target.constData(), W_OK) != 0) {
        throw FileWriteError(Step::Create, errno);
    }
    TemporaryFile file(target);
    if (exists && S_ISREG(old.st_mode)) {
        // Best effort, as the old file's owner may differ.
        (void)::fchmod(file.fd(), old.st_mode & 07777);
    }
    file.writeAll(bytes);
    file.closeAndRename(target);
}

}  // namespace mx
