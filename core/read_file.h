#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace mx {

// An open file descriptor, closed with its owner.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release();

private:
    int m_fd = -1;
};

// Why a file could not be opened for reading. NotRegular covers FIFOs, devices, sockets and
// folders: reading them would block, never end or make no sense.
enum class OpenFailure { None, Missing, NotRegular, Other };

struct ReadableFile {
    FileDescriptor fd;
    std::int64_t size = -1;
    OpenFailure failure = OpenFailure::None;
    int error = 0;  // errno of the failed call, 0 for NotRegular

    explicit operator bool() const { return fd.isOpen(); }
    // The reason in words, as strerror gives it ("Not a regular file" for NotRegular).
    QString errorText() const;
};

// Opens a path (a program path, mapped to its native bytes) for reading, only when it names a
// regular file. The open itself never blocks, not even on a FIFO without a writer; the
// descriptor returned reads in blocking mode.
ReadableFile openRegularFile(const QString& path);

// The whole content of an open file, read to its end; empty on a read error (*error set to the
// errno). Reading stops with an error past maxBytes.
std::optional<QByteArray> readAllFrom(const ReadableFile& file, int* error = nullptr,
                                      std::int64_t maxBytes = INT64_MAX);

// Convenience: the whole content of a regular file, or nothing when it cannot be opened or read.
std::optional<QByteArray> readRegularFile(const QString& path);

// The next maxBytes of an open file (fewer at its end); empty on a read error (*error set).
std::optional<QByteArray> readHead(const ReadableFile& file, std::int64_t maxBytes,
                                   int* error = nullptr);

// The size of a regular file in bytes, or -1 when it is not one or cannot be opened.
std::int64_t regularFileSize(const QString& path);

}  // namespace mx
