#include "ClipWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// Large direct writes keep the disk busy while TLS holds both cores.
constexpr std::size_t kBlock = 4 << 20;        // handed over 4 MiB at a time
constexpr std::size_t kAlign = 4096;           // what direct writes want of memory, sizes and offsets
constexpr std::size_t kQueuedBlocks = 2;       // at most this much waits in memory
constexpr std::int64_t kWindow = 16 << 20;     // written back and dropped per window (buffered)
constexpr std::int64_t kFlushEvery = 32 << 20; // flushed behind the writes, this much at a time

bool setDirect(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

} // namespace

ClipWriter::Block ClipWriter::newBlock()
{
    return {std::unique_ptr<char, Free>(static_cast<char *>(std::aligned_alloc(kAlign, kBlock))), 0};
}

ClipWriter::ClipWriter(int fd, int (*flush)(int))
    : fd_(fd), flush_(flush), filling_(newBlock()), thread_([this] { run(); }), flusher_([this] { flushBehind(); })
{
}

ClipWriter::~ClipWriter()
{
    finish();
}

bool ClipWriter::append(const char *data, std::size_t size)
{
    while (size > 0) {
        const std::size_t n = std::min(size, kBlock - filling_.size);
        std::memcpy(filling_.bytes.get() + filling_.size, data, n);
        filling_.size += n;
        data += n;
        size -= n;
        if (filling_.size == kBlock)
            handOver(false);
    }
    std::lock_guard lock(mutex_);
    return error_ == 0;
}

void ClipWriter::handOver(bool last)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedBlocks || error_ != 0; });
    if (filling_.size > 0 && error_ == 0) {
        handedOver_ += std::int64_t(filling_.size);
        queue_.push_back(std::move(filling_));
    }
    if (last) {
        filling_ = {};
    } else if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
        filling_.size = 0;
    } else {
        filling_ = newBlock();
    }
    closing_ = closing_ || last;
    changed_.notify_all();
}

std::int64_t ClipWriter::queued()
{
    std::lock_guard lock(mutex_);
    return handedOver_ - written_ + std::int64_t(filling_.size);
}

Result<> ClipWriter::finish()
{
    if (thread_.joinable()) {
        handOver(true);
        thread_.join();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wroteMore_.notify_all();
        flusher_.join();
    }
    std::lock_guard lock(mutex_);
    if (error_ != 0)
        return failureFromErrno(error_);
    return {};
}

// 0, or the errno of the failure. A block that is not whole (the last) or a
// direct write the file system refuses goes through the page cache instead.
int ClipWriter::writeBlock(const Block &block, std::int64_t at)
{
    const auto buffered = [this] {
        direct_ = !setDirect(fd_, false);
        return !direct_;
    };
    if (direct_ && block.size % kAlign != 0 && !buffered())
        return errno;
    for (std::size_t done = 0; done < block.size;) {
        const ssize_t n = ::pwrite(fd_, block.bytes.get() + done, block.size - done, at + std::int64_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EINVAL && direct_) {
            if (!buffered())
                return EINVAL;
            continue;
        }
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += std::size_t(n);
    }
    return 0;
}

void ClipWriter::run()
{
    direct_ = setDirect(fd_, true);
    std::int64_t written = 0, windowStart = 0, previousWindow = -1;
    for (;;) {
        Block block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                break;
            block = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        if (const int error = writeBlock(block, written)) {
            fail(error);
            break;
        }
        written += std::int64_t(block.size);
        {
            std::lock_guard lock(mutex_);
            written_ = written;
            spare_.push_back(std::move(block));
        }
        wroteMore_.notify_one();
        if (!direct_ && written - windowStart >= kWindow) {
            // Start this window's writeback; wait for the one before and
            // drop its pages, so the cache holds two windows at most.
            sync_file_range(fd_, windowStart, written - windowStart, SYNC_FILE_RANGE_WRITE);
            if (previousWindow >= 0) {
                sync_file_range(fd_, previousWindow, windowStart - previousWindow,
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
                posix_fadvise(fd_, previousWindow, windowStart - previousWindow, POSIX_FADV_DONTNEED);
            }
            previousWindow = windowStart;
            windowStart = written;
        }
    }
    setDirect(fd_, false); // the descriptor is the caller's again
}

// Keeps the first failure and lets no more bytes in.
void ClipWriter::fail(int error)
{
    std::lock_guard lock(mutex_);
    if (error_ == 0)
        error_ = error;
    queue_.clear();
    changed_.notify_all();
}

void ClipWriter::flushBehind()
{
    std::unique_lock lock(mutex_);
    for (std::int64_t flushed = 0;;) {
        wroteMore_.wait(lock, [&] { return stopping_ || written_ - flushed >= kFlushEvery; });
        if (stopping_ || error_ != 0)
            return;
        const std::int64_t upTo = written_;
        lock.unlock();
        // The kernel reports a failed writeback once: the flush before the
        // rename would not hear of it again, so it is kept here.
        const int error = flush_(fd_) == 0 ? 0 : errno;
        if (error != 0)
            return fail(error);
        lock.lock();
        flushed = upTo;
    }
}

} // namespace platform
