#include "i18n/rw_lock.h"

namespace mx {

int ReentrantRwLock::otherReaders() const {
    int count = 0;
    for (const auto& [thread, depth] : m_readers) {
        if (thread != std::this_thread::get_id()) {
            count += depth > 0 ? 1 : 0;
        }
    }
    return count;
}

void ReentrantRwLock::lockRead() {
    std::unique_lock guard(m_mutex);
    if (isWriter()) {
        ++m_writerReads;
        return;
    }
    const auto self = std::this_thread::get_id();
    const auto own = m_readers.find(self);
    if (own == m_readers.end()) {
        m_changed.wait(guard, [&] { return m_writerCount == 0 && m_waitingWriters == 0; });
        m_readers[self] = 1;
    } else {
        ++own->second;
    }
}

void ReentrantRwLock::unlockRead() {
    std::unique_lock guard(m_mutex);
    if (isWriter() && m_writerReads > 0) {
        --m_writerReads;
        return;
    }
    const auto own = m_readers.find(std::this_thread::get_id());
    if (own != m_readers.end() && --own->second == 0) {
        m_readers.erase(own);
        m_changed.notify_all();
    }
}

void ReentrantRwLock::lockWrite() {
    std::unique_lock guard(m_mutex);
    if (isWriter()) {
        ++m_writerCount;
        return;
    }
    ++m_waitingWriters;
    m_changed.wait(guard, [&] { return m_writerCount == 0 && otherReaders() == 0; });
    --m_waitingWriters;
    m_writer = std::this_thread::get_id();
    m_writerCount = 1;
}

void ReentrantRwLock::unlockWrite() {
    std::unique_lock guard(m_mutex);
    if (isWriter() && --m_writerCount == 0) {
        if (m_writerReads > 0) {
            // Reads taken inside the write lock and still held become ordinary reads.
            m_readers[m_writer] += m_writerReads;
            m_writerReads = 0;
        }
        m_writer = std::thread::id();
        m_changed.notify_all();
    }
}

}  // namespace mx
