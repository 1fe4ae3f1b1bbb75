#include "i18n/rw_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace mx {
namespace {

TEST(ReaderWriterLock, OneThreadNestsReadsInsideItsWrite) {
    ReentrantRwLock lock;
    {
        WriteLocker write(lock);
        ReadLocker read(lock);
        WriteLocker again(lock);
        ReadLocker readAgain(lock);
    }
    {
        // A lone reader may take the write lock, and both are released in any order.
        lock.lockRead();
        lock.lockWrite();
        lock.unlockRead();
        lock.unlockWrite();
    }
    // The lock is free again: another thread can write.
    std::thread other([&] { WriteLocker write(lock); });
    other.join();
}

TEST(ReaderWriterLock, ReadersShareWritersExclude) {
    ReentrantRwLock lock;
    constexpr int kReaders = 4;
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([&] {
            ReadLocker read(lock);
            const int now = ++inside;
            int seen = mostInside.load();
            while (now > seen && !mostInside.compare_exchange_weak(seen, now)) {
            }
            // Stay until every reader is in at once (or give up after a long while).
            for (int spin = 0; spin < 50'000'000 && mostInside.load() < kReaders; ++spin) {
                std::this_thread::yield();
            }
            --inside;
        });
    }
    for (auto& t : readers) {
        t.join();
    }
    EXPECT_EQ(mostInside.load(), kReaders) << "readers hold the lock together";

    // Writers keep a pair of counters equal; readers never see them differ.
    long first = 0;
    long second = 0;
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    for (int w = 0; w < 3; ++w) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                WriteLocker write(lock);
                ReadLocker nested(lock);
                ++first;
                std::this_thread::yield();
                ++second;
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                ReadLocker read(lock);
                ReadLocker nested(lock);
                if (first != second) {
                    torn = true;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_FALSE(torn.load());
    EXPECT_EQ(first, 6000);
    EXPECT_EQ(second, 6000);
}

}  // namespace
}  // namespace mx
