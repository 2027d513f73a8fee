#include "ClipWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kBlock = 1 << 20;    // handed over a MiB at a time
constexpr std::size_t kQueuedBlocks = 4;   // at most this much waits in memory
constexpr std::int64_t kWindow = 16 << 20; // written back and dropped per window

} // namespace

ClipWriter::ClipWriter(int fd) : fd_(fd), thread_([this] { run(); })
{
    filling_.reserve(kBlock);
}

ClipWriter::~ClipWriter()
{
    finish();
}

bool ClipWriter::append(const char *data, std::size_t size)
{
    while (size > 0) {
        const std::size_t n = std::min(size, kBlock - filling_.size());
        filling_.insert(filling_.end(), data, data + n);
        data += n;
        size -= n;
        if (filling_.size() == kBlock)
            handOver(false);
    }
    std::lock_guard lock(mutex_);
    return error_ == 0;
}

void ClipWriter::handOver(bool last)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedBlocks || error_ != 0; });
    if (!filling_.empty() && error_ == 0) {
        handedOver_ += std::int64_t(filling_.size());
        queue_.push_back(std::move(filling_));
    }
    filling_ = {};
    filling_.reserve(last ? 0 : kBlock);
    closing_ = closing_ || last;
    changed_.notify_all();
}

std::int64_t ClipWriter::queued()
{
    std::lock_guard lock(mutex_);
    return handedOver_ - written_ + std::int64_t(filling_.size());
}

Result<> ClipWriter::finish()
{
    if (thread_.joinable()) {
        handOver(true);
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    if (error_ != 0)
        return failureFromErrno(error_);
    return {};
}

void ClipWriter::run()
{
    std::int64_t written = 0, windowStart = 0, previousWindow = -1;
    for (;;) {
        std::vector<char> block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                return;
            block = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        for (std::size_t done = 0; done < block.size();) {
            const ssize_t n = ::write(fd_, block.data() + done, block.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                std::lock_guard lock(mutex_);
                error_ = n < 0 ? errno : ENOSPC;
                queue_.clear();
                changed_.notify_all();
                return;
            }
            done += std::size_t(n);
        }
        written += std::int64_t(block.size());
        {
            std::lock_guard lock(mutex_);
            written_ = written;
        }
        if (written - windowStart >= kWindow) {
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
}

} // namespace platform
