#pragma once

#include "Result.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

// Writes a download into its file on a thread of its own, so the network
// (TLS on one core) and the disk work side by side. Whole blocks go straight
// to the disk (O_DIRECT): no copy into the page cache, which on a small
// machine competes with TLS for the processor, and nothing dirty left for the
// flush before the rename. Where the file system takes no direct writes,
// written pages go to the disk in windows, each waited for one window later
// and then dropped from the page cache. Either way memory stays flat
// whatever the size: the same few blocks are filled again and again (fresh
// memory for every block would cost a page fault per page). A third thread
// flushes what is written as it goes, so the flush before the rename finds
// little left: the disk's own cache drains while the network still runs.
class ClipWriter {
public:
    // flush is fdatasync but for tests that make it fail.
    explicit ClipWriter(int fd, int (*flush)(int) = ::fdatasync);
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
    struct Free {
        void operator()(char *p) const { std::free(p); }
    };
    struct Block {
        std::unique_ptr<char, Free> bytes; // page-aligned, as direct writes want
        std::size_t size = 0;
    };

    void run();
    void flushBehind();
    void fail(int error);
    void handOver(bool last);
    static Block newBlock();
    int writeBlock(const Block &block, std::int64_t at);

    const int fd_;
    int (*const flush_)(int);
    bool direct_ = false; // writer thread only, once started
    std::mutex mutex_;
    std::condition_variable changed_;
    std::condition_variable wroteMore_; // for the flusher
    std::deque<Block> queue_;           // guarded by mutex_
    std::vector<Block> spare_;          // written blocks, used again; guarded by mutex_
    bool closing_ = false;              // guarded by mutex_
    int error_ = 0;                     // guarded by mutex_
    std::int64_t handedOver_ = 0;       // guarded by mutex_
    std::int64_t written_ = 0;          // guarded by mutex_
    bool stopping_ = false;             // guarded by mutex_: the flusher's end
    Block filling_;                     // the caller's side only
    std::thread thread_;
    std::thread flusher_;
};

} // namespace platform
