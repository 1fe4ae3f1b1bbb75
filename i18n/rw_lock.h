#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace mx {

// Many readers or one writer. Both kinds nest on one thread, and the writing thread may also
// enter for reading: the manager reads its own state through the locked queries while it holds
// the write lock. A thread that holds only a read lock may ask for the write lock; it waits
// until every other reader has left. Waiting writers are preferred over new readers so that a
// stream of readers cannot starve them; a thread already reading is let in again regardless.
class ReentrantRwLock {
public:
    void lockRead();
    void unlockRead();
    void lockWrite();
    void unlockWrite();

private:
    bool isWriter() const { return m_writerCount > 0 && m_writer == std::this_thread::get_id(); }
    int otherReaders() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread::id m_writer;
    int m_writerCount = 0;  // nesting depth of the write lock
    int m_writerReads = 0;  // read locks taken by the writer inside its write lock
    int m_waitingWriters = 0;
    std::map<std::thread::id, int> m_readers;  // read nesting depth per thread
};

class ReadLocker {
public:
    explicit ReadLocker(ReentrantRwLock& lock) : m_lock(lock) { m_lock.lockRead(); }
    ~ReadLocker() { m_lock.unlockRead(); }
    ReadLocker(const ReadLocker&) = delete;
    ReadLocker& operator=(const ReadLocker&) = delete;

private:
    ReentrantRwLock& m_lock;
};

class WriteLocker {
public:
    explicit WriteLocker(ReentrantRwLock& lock) : m_lock(lock) { m_lock.lockWrite(); }
    ~WriteLocker() { unlock(); }
    void unlock() {
        if (m_locked) {
            m_locked = false;
            m_lock.unlockWrite();
        }
    }
    WriteLocker(const WriteLocker&) = delete;
    WriteLocker& operator=(const WriteLocker&) = delete;

private:
    ReentrantRwLock& m_lock;
    bool m_locked = true;
};

}  // namespace mx
