#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

namespace sonlet {

// Values are kept in blocks of BlockSize; a sample always holds NumSamples div BlockSize + 1
// blocks, so there is at least one spare slot after the last value. The blocks lie end to
// end in one buffer, so bulk work (file reads, fills, copies) runs over contiguous memory.
inline constexpr std::int64_t BlockSize = 32768;

template <typename T> class SampleBlocks {
public:
    SampleBlocks() = default;
    // A copy holds values of its own (an edit that keeps a sample aside copies it).
    SampleBlocks(const SampleBlocks& other) { *this = other; }
    SampleBlocks& operator=(const SampleBlocks& other) {
        if (this != &other) {
            ResizeForOverwrite(other.blocks_);
            if (blocks_ > 0) {
                std::memcpy(values_.get(), other.values_.get(),
                            static_cast<std::size_t>(Capacity()) * sizeof(T));
            }
        }
        return *this;
    }
    SampleBlocks(SampleBlocks&&) noexcept = default;
    SampleBlocks& operator=(SampleBlocks&&) noexcept = default;
    ~SampleBlocks() = default;

    // Exchanges the storage of two block sets; nothing is allocated or freed.
    void Swap(SampleBlocks& other) noexcept {
        values_.swap(other.values_);
        std::swap(blocks_, other.blocks_);
    }

    std::int64_t BlockCount() const { return blocks_; }
    bool Empty() const { return blocks_ == 0; }
    std::int64_t Capacity() const { return blocks_ * BlockSize; }

    T* Data() { return values_.get(); }
    const T* Data() const { return values_.get(); }
    std::span<T> Values() { return {values_.get(), static_cast<std::size_t>(Capacity())}; }
    std::span<const T> Values() const {
        return {values_.get(), static_cast<std::size_t>(Capacity())};
    }
    // Block number b (BlockSize values).
    std::span<T> Block(std::int64_t b) {
        return Values().subspan(static_cast<std::size_t>(b * BlockSize), BlockSize);
    }

    // Changes the number of blocks; values in blocks that remain are kept, new blocks are zero.
    // Throws std::bad_alloc when memory runs out.
    void Resize(std::int64_t blocks) {
        if (blocks == blocks_) {
            return;
        }
        if (blocks <= 0) {
            Clear();
            return;
        }
        auto fresh =
            std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(blocks * BlockSize));
        const std::int64_t kept = std::min(blocks, blocks_) * BlockSize;
        if (kept > 0) {
            std::memcpy(fresh.get(), values_.get(), static_cast<std::size_t>(kept) * sizeof(T));
        }
        std::memset(static_cast<void*>(fresh.get() + kept), 0,
                    static_cast<std::size_t>(blocks * BlockSize - kept) * sizeof(T));
        values_ = std::move(fresh);
        blocks_ = blocks;
    }

    // Replaces the content with blocks whose values are left for the caller to fill
    // completely; used by readers that overwrite every slot right away.
    void ResizeForOverwrite(std::int64_t blocks) {
        if (blocks <= 0) {
            Clear();
            return;
        }
        values_ = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(blocks * BlockSize));
        blocks_ = blocks;
    }

    void Clear() {
        values_.reset();
        blocks_ = 0;
    }

private:
    std::unique_ptr<T[]> values_;
    std::int64_t blocks_ = 0;
};

} // namespace sonlet
