#include "TestOutputRing.h"

#include <algorithm>

namespace sonlet {

void TestOutputRing::AdvanceTo(std::uint32_t byteOffset) {
    std::lock_guard lock(mutex_);
    cursor_ = byteOffset % RingBytes;
}

void TestOutputRing::EnterSegment(std::int32_t segment) {
    {
        std::lock_guard lock(mutex_);
        cursor_ = static_cast<std::uint32_t>(segment * SegmentBytes) % RingBytes;
        events_.push_back(segment);
    }
    changed_.notify_all();
}

void TestOutputRing::FailNextLocks(std::initializer_list<std::int32_t> codes) {
    std::lock_guard lock(mutex_);
    lockFailures_.insert(lockFailures_.end(), codes);
}

void TestOutputRing::SetLost(bool lost, std::int32_t stillLost) {
    std::lock_guard lock(mutex_);
    lost_ = lost;
    stillLost_ = stillLost;
}

std::vector<std::int16_t> TestOutputRing::Written() const {
    std::lock_guard lock(mutex_);
    return ring_;
}

std::vector<TestOutputRing::SegmentWrite> TestOutputRing::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::size_t TestOutputRing::WriteCount() const {
    std::lock_guard lock(mutex_);
    return writes_.size();
}

bool TestOutputRing::WaitForWrites(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return writes_.size() >= count; });
}

bool TestOutputRing::IsPlaying() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

std::int32_t TestOutputRing::StartCount() const {
    std::lock_guard lock(mutex_);
    return startCount_;
}

std::int32_t TestOutputRing::RestoreCount() const {
    std::lock_guard lock(mutex_);
    return restoreCount_;
}

bool TestOutputRing::InitOutput() { return !failures_.init; }

bool TestOutputRing::CreateStreamBuffer() {
    std::lock_guard lock(mutex_);
    streamBuffer_ = !failures_.streamBuffer;
    return streamBuffer_;
}

bool TestOutputRing::HasStreamBuffer() const {
    std::lock_guard lock(mutex_);
    return streamBuffer_;
}

bool TestOutputRing::Start() {
    std::lock_guard lock(mutex_);
    ++startCount_;
    if (failures_.start) {
        return false;
    }
    cursor_ = 0;
    playing_ = true;
    return true;
}

void TestOutputRing::Stop() {
    std::lock_guard lock(mutex_);
    playing_ = false;
}

std::uint32_t TestOutputRing::PlayCursor() const {
    std::lock_guard lock(mutex_);
    return streamBuffer_ ? cursor_ : 0;
}

std::int32_t TestOutputRing::LockSegment(std::int32_t segment) {
    std::lock_guard lock(mutex_);
    if (!lockFailures_.empty()) {
        const std::int32_t code = lockFailures_.front();
        lockFailures_.pop_front();
        return code;
    }
    if (lost_) {
        return RingBufferLost;
    }
    locked_ = segment;
    return RingOk;
}

void TestOutputRing::WriteLocked(std::span<const std::int16_t> values) {
    {
        std::lock_guard lock(mutex_);
        if (locked_ < 0 || values.size() != static_cast<std::size_t>(SegmentValues)) {
            return;
        }
        std::copy(values.begin(), values.end(),
                  ring_.begin() + static_cast<std::ptrdiff_t>(locked_) * SegmentValues);
        SegmentWrite write;
        write.segment = locked_;
        std::copy(values.begin(), values.end(), write.values.begin());
        writes_.push_back(write);
    }
    changed_.notify_all();
}

bool TestOutputRing::UnlockSegment() {
    std::lock_guard lock(mutex_);
    locked_ = -1;
    return !failures_.unlock;
}

bool TestOutputRing::IsLost() {
    std::lock_guard lock(mutex_);
    return lost_;
}

std::int32_t TestOutputRing::Restore() {
    std::lock_guard lock(mutex_);
    ++restoreCount_;
    if (stillLost_ > 0) {
        --stillLost_;
        return RingBufferLost;
    }
    lost_ = false;
    return RingOk;
}

std::int32_t TestOutputRing::WaitForEvent() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return woken_ || !events_.empty(); });
    if (woken_) {
        woken_ = false;
        return WokenByRequest;
    }
    const std::int32_t segment = events_.front();
    events_.pop_front();
    return segment;
}

void TestOutputRing::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
}

} // namespace sonlet
