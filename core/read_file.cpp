#include "core/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/native_path.h"

namespace mx {

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

QString ReadableFile::errorText() const {
    if (failure == OpenFailure::NotRegular) {
        return QStringLiteral("Not a regular file");
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

ReadableFile openRegularFile(const QString& path) {
    ReadableFile result;
    const QByteArray native = encodeNativePath(path);
    if (native.isEmpty()) {
        result.failure = OpenFailure::Missing;
        result.error = ENOENT;
        return result;
    }
    // O_NONBLOCK makes the open of a FIFO return at once instead of waiting for a writer; the
    // descriptor is then refused by its type before anything is read from it.
    FileDescriptor fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen()) {
        result.error = errno;
        result.failure = (errno == ENOENT || errno == ENOTDIR) ? OpenFailure::Missing
                         : (errno == ENXIO)                    ? OpenFailure::NotRegular
                                                               : OpenFailure::Other;
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.error = errno;
        result.failure = OpenFailure::Other;
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.failure = OpenFailure::NotRegular;
        return result;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        result.error = errno;
        result.failure = OpenFailure::Other;
        return result;
    }
    result.size = static_cast<std::int64_t>(info.st_size);
    result.fd = std::move(fd);
    return result;
}

namespace {

// Reads up to limit bytes; stops early at the end of the file. Sets *tooLong when more than
// limit bytes are there (only checked when checkMore is set).
std::optional<QByteArray> readUpTo(const ReadableFile& file, std::int64_t limit, bool checkMore,
                                   int* error) {
    if (!file) {
        if (error) {
            *error = file.error ? file.error : EINVAL;
        }
        return std::nullopt;
    }
    QByteArray bytes;
    // The size fstat gave is a hint only: the file may grow or shrink while it is read.
    const std::int64_t hint = file.size > 0 ? std::min<std::int64_t>(file.size, limit) : 0;
    if (hint > 0 && hint < (std::int64_t(1) << 31)) {
        bytes.reserve(static_cast<qsizetype>(hint) + 1);
    }
    char chunk[65536];
    for (;;) {
        const std::int64_t wanted =
            checkMore ? std::int64_t(sizeof chunk)
                      : std::min<std::int64_t>(sizeof chunk, limit - bytes.size());
        if (wanted <= 0) {
            break;
        }
        const ssize_t got = ::read(file.fd.get(), chunk, static_cast<size_t>(wanted));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (error) {
                *error = errno;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        if (checkMore && bytes.size() + got > limit) {
            if (error) {
                *error = EFBIG;
            }
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    return bytes;
}

}  // namespace

std::optional<QByteArray> readAllFrom(const ReadableFile& file, int* error, std::int64_t maxBytes) {
    // QByteArray cannot hold more than this; a larger file is refused rather than cut.
    constexpr std::int64_t kLargest = std::int64_t(1) << 62;
    return readUpTo(file, std::min(maxBytes, kLargest), true, error);
}

std::optional<QByteArray> readRegularFile(const QString& path) {
    const ReadableFile file = openRegularFile(path);
    return readAllFrom(file);
}

std::optional<QByteArray> readHead(const ReadableFile& file, std::int64_t maxBytes, int* error) {
    return readUpTo(file, maxBytes, false, error);
}

std::int64_t regularFileSize(const QString& path) {
    const ReadableFile file = openRegularFile(path);
    return file ? file.size : -1;
}

}  // namespace mx
