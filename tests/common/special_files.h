#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "core/native_path.h"

namespace mx::test {

// Makes a FIFO at path; false when it could not be made.
inline bool makeFifo(const QString& path) {
    return ::mkfifo(encodeNativePath(path).constData(), 0600) == 0;
}

// Writes a whole file by its native bytes (QFile would mangle a name that is not UTF-8).
inline bool writeNativeFile(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(encodeNativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// Runs action on a thread and says whether it finished within the limit. A reader that hangs
// on the FIFO is set free afterwards (a writer opens and closes it, which gives the reader its
// end of file), so a failing test ends instead of hanging the suite.
inline bool finishesWithin(const std::function<void()>& action, const QString& fifo,
                           std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto done = std::async(std::launch::async, action);
    if (done.wait_for(limit) == std::future_status::ready) {
        done.get();
        return true;
    }
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(encodeNativePath(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return false;
}

// For code that must run on the thread it is called from (windows): while the guard lives, a
// reader blocked on the FIFO for longer than the limit is set free, and freed() tells so.
class FifoGuard {
public:
    explicit FifoGuard(QString fifo, std::chrono::milliseconds limit = std::chrono::seconds(10))
        : m_fifo(std::move(fifo)), m_thread([this, limit] { watch(limit); }) {}
    ~FifoGuard() {
        m_done = true;
        m_thread.join();
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool freed() const { return m_freed; }

private:
    void watch(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!m_done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::chrono::steady_clock::now() < deadline) {
                continue;
            }
            const int fd = ::open(encodeNativePath(m_fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                m_freed = true;
                ::close(fd);
            }
        }
    }

    QString m_fifo;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_freed{false};
    std::thread m_thread;
};

}  // namespace mx::test
