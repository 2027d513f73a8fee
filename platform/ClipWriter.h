#pragma once

#include "Result.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// Writes a download into its file on a thread of its own, so the network
// (TLS on one core) and the disk work side by side. Written pages go to the
// disk in windows, each waited for one window later and then dropped from
// the page cache: memory stays flat whatever the size, and the flush before
// the rename finds little left to do.
class ClipWriter {
public:
    explicit ClipWriter(int fd);
    ~ClipWriter();
    ClipWriter(const ClipWriter &) = delete;
    ClipWriter &operator=(const ClipWriter &) = delete;

    // Queues the bytes, waiting while the queue is full. False once a write
    // has failed (see finish()).
    bool append(const char *data, std::size_t size);
    // Writes what is queued and stops; the first write's failure, if any.
    Result<> finish();
    // Bytes handed over but not written yet.
    std::int64_t queued();

private:
    void run();
    void handOver(bool last);

    const int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<char>> queue_; // guarded by mutex_
    bool closing_ = false;                // guarded by mutex_
    int error_ = 0;                       // guarded by mutex_
    std::int64_t handedOver_ = 0;         // guarded by mutex_
    std::int64_t written_ = 0;            // guarded by mutex_
    std::vector<char> filling_;           // the caller's side only
    std::thread thread_;
};

} // namespace platform
