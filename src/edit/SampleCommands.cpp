#include "edit/SampleCommands.h"

#include "model/Instrument.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonlet {

namespace {

TSample* SampleAt(const TInstrument& instrument, std::int32_t index) {
    if (index < 0 || index >= instrument.SampleCount) {
        return nullptr;
    }
    return instrument.Samples[static_cast<std::size_t>(index)].get();
}

bool HasValues(const TSample& s) {
    return (s.BytesPerSample == 1 || s.BytesPerSample == 2) && s.Format.nChannels > 0;
}

std::uint8_t* ValueBytes(TSample& s) {
    return s.BytesPerSample == 1 ? s.Data8.Data()
                                 : reinterpret_cast<std::uint8_t*>(s.Data16.Data());
}

const std::uint8_t* ValueBytes(const TSample& s) {
    return s.BytesPerSample == 1 ? s.Data8.Data()
                                 : reinterpret_cast<const std::uint8_t*>(s.Data16.Data());
}

void SetMarks(TSample& s, std::int64_t a, std::int64_t b) {
    s.MarkA = a;
    s.MarkB = b;
    s.UpdateRanges();
}

// Replaces count stored values at first by the values of bytes, which then holds the
// replaced ones. The new storage is filled before the lock and the old freed after it.
template <typename T>
void SpliceValues(TInstrument& instrument, TSample& s, SampleBlocks<T>& blocks, std::int64_t first,
                  std::int64_t count, std::vector<std::uint8_t>& bytes, const SpliceMarks& marks) {
    const auto bytesPer = static_cast<std::int64_t>(sizeof(T));
    const std::int64_t inserted = static_cast<std::int64_t>(bytes.size()) / bytesPer;
    const std::int64_t total = s.NumSamples - count + inserted;
    std::vector<std::uint8_t> removed = StoredBytes(s, first, first + count);
    SampleBlocks<T> fresh;
    fresh.ResizeForOverwrite(total / BlockSize + 1);
    T* to = fresh.Data();
    const T* from = blocks.Data();
    std::copy_n(from, first, to);
    if (!bytes.empty()) {
        std::memcpy(to + first, bytes.data(), bytes.size());
    }
    std::copy_n(from + first + count, s.NumSamples - first - count, to + first + inserted);
    std::fill(to + total, to + fresh.Capacity(), T{});
    {
        InstrumentEditGuard guard(instrument.EditLock());
        blocks.Swap(fresh);
        s.DataSize += (inserted - count) * bytesPer;
        s.NumSamples = total;
        s.NumFrames = total / s.Format.nChannels;
        s.LoopStart = marks.LoopStart;
        s.LoopLength = marks.LoopLength;
        s.LoopType = marks.LoopType;
        SetMarks(s, marks.MarkA, marks.MarkB);
    }
    bytes = std::move(removed);
}

} // namespace

std::vector<std::uint8_t> StoredBytes(const TSample& sample, std::int64_t first, std::int64_t end) {
    if (!HasValues(sample) || end <= first) {
        return {};
    }
    const std::size_t bytesPer = static_cast<std::size_t>(sample.BytesPerSample);
    const std::uint8_t* from = ValueBytes(sample) + static_cast<std::size_t>(first) * bytesPer;
    return {from, from + static_cast<std::size_t>(end - first) * bytesPer};
}

SpliceMarks MarksOf(const TSample& sample) {
    return {sample.LoopStart, sample.LoopLength, sample.LoopType, sample.MarkA, sample.MarkB};
}

SpliceMarks SplicedMarks(const SpliceMarks& before, std::int64_t at, std::int64_t removed,
                         std::int64_t inserted) {
    SpliceMarks after = before;
    after.MarkA = inserted > 0 ? at : -1;
    after.MarkB = inserted > 0 ? at + inserted - 1 : -1;
    if (before.LoopStart < 0 || before.LoopLength <= 0) {
        return after;
    }
    const std::int64_t start = before.LoopStart;
    const std::int64_t end = start + before.LoopLength;
    const std::int64_t cutEnd = at + removed;
    const std::int64_t overlap =
        std::max<std::int64_t>(0, std::min(end, cutEnd) - std::max(start, at));
    std::int64_t newStart = start < at ? start : (start >= cutEnd ? start - removed : at);
    std::int64_t newLength = before.LoopLength - overlap;
    if (newLength <= 0) {
        after.LoopStart = -1;
        after.LoopLength = 0;
        after.LoopType = LoopNone;
        return after;
    }
    if (newStart >= at) {
        newStart += inserted;
    } else if (newStart + newLength > at) {
        newLength += inserted;
    }
    after.LoopStart = newStart;
    after.LoopLength = newLength;
    return after;
}

// ---- TRangeCommand ----

TRangeCommand::TRangeCommand(std::string name, std::int32_t sampleIndex, std::int64_t first,
                             std::int64_t last, Function function, bool selfInverse)
    : name_(std::move(name)), sampleIndex_(sampleIndex), first_(first), last_(last),
      function_(std::move(function)), selfInverse_(selfInverse) {}

bool TRangeCommand::Apply(TInstrument& instrument) {
    TSample* s = SampleAt(instrument, sampleIndex_);
    if (s == nullptr || !HasValues(*s)) {
        return false;
    }
    if (made_) {
        return Exchange(instrument);
    }
    if (!function_) {
        return false;
    }
    const std::int64_t channels = s->Format.nChannels;
    const std::int64_t framesHeld = (s->NumSamples + channels - 1) / channels;
    const std::int64_t first = std::max<std::int64_t>(first_, 0);
    const std::int64_t last = std::min(last_, framesHeld - 1);
    if (last < first) {
        return false;
    }
    firstValue_ = first * channels;
    endValue_ = std::min((last + 1) * channels, s->NumSamples);
    // A range that reaches past the data is not exchanged by the function alone.
    selfInverse_ =
        selfInverse_ && first == first_ && last == last_ && endValue_ == (last + 1) * channels;
    if (!selfInverse_) {
        held_ = StoredBytes(*s, firstValue_, endValue_);
    }
    markA_ = s->MarkA;
    markB_ = s->MarkB;
    {
        InstrumentEditGuard guard(instrument.EditLock());
        function_(*s, first_, last_);
    }
    made_ = true;
    if (!selfInverse_) {
        // Undo and redo exchange values from now on; what the function holds can go.
        function_ = nullptr;
    }
    s->ValuesChanged(first, last + 1);
    return true;
}

void TRangeCommand::Revert(TInstrument& instrument) { Exchange(instrument); }

bool TRangeCommand::Exchange(TInstrument& instrument) {
    TSample* s = SampleAt(instrument, sampleIndex_);
    // Only ever called on the state the step was made on; anything else is left alone.
    if (s == nullptr || !HasValues(*s) || endValue_ > s->NumSamples ||
        static_cast<std::int64_t>(held_.size()) !=
            (selfInverse_ ? 0 : (endValue_ - firstValue_) * s->BytesPerSample)) {
        return false;
    }
    {
        InstrumentEditGuard guard(instrument.EditLock());
        if (selfInverse_) {
            function_(*s, first_, last_);
        } else {
            std::swap_ranges(held_.begin(), held_.end(),
                             ValueBytes(*s) + firstValue_ * s->BytesPerSample);
        }
        SetMarks(*s, markA_, markB_);
    }
    const std::int64_t channels = s->Format.nChannels;
    s->ValuesChanged(firstValue_ / channels, (endValue_ + channels - 1) / channels);
    return true;
}

std::size_t TRangeCommand::HeldBytes() const { return held_.capacity() + sizeof(*this); }

EditFocus TRangeCommand::Focus() const {
    return {sampleIndex_, std::max<std::int64_t>(first_, 0), last_};
}

// ---- TSpliceCommand ----

TSpliceCommand::TSpliceCommand(std::string name, std::int32_t sampleIndex, std::int64_t at,
                               std::int64_t removed, std::vector<std::uint8_t> inserted)
    : name_(std::move(name)), sampleIndex_(sampleIndex), at_(at), removedFrames_(removed),
      held_(std::move(inserted)) {}

bool TSpliceCommand::Apply(TInstrument& instrument) {
    TSample* s = SampleAt(instrument, sampleIndex_);
    if (s == nullptr || !HasValues(*s)) {
        return false;
    }
    if (!made_) {
        const std::int64_t channels = s->Format.nChannels;
        const auto frameBytes = static_cast<std::size_t>(channels * s->BytesPerSample);
        if (at_ < 0 || at_ > s->NumFrames || removedFrames_ < 0 ||
            removedFrames_ > s->NumFrames - at_ || held_.size() % frameBytes != 0 ||
            (removedFrames_ == 0 && held_.empty())) {
            return false;
        }
        insertedFrames_ = static_cast<std::int64_t>(held_.size() / frameBytes);
        firstValue_ = at_ * channels;
        valuesInSample_ = removedFrames_ > 0 && at_ + removedFrames_ == s->NumFrames
                              ? s->NumSamples - firstValue_
                              : removedFrames_ * channels;
        before_ = MarksOf(*s);
        after_ = SplicedMarks(before_, at_, removedFrames_, insertedFrames_);
        made_ = true;
    }
    if (!Exchange(instrument, after_)) {
        return false;
    }
    applied_ = true;
    return true;
}

void TSpliceCommand::Revert(TInstrument& instrument) {
    if (Exchange(instrument, before_)) {
        applied_ = false;
    }
}

bool TSpliceCommand::Exchange(TInstrument& instrument, const SpliceMarks& marks) {
    TSample* s = SampleAt(instrument, sampleIndex_);
    if (s == nullptr || !HasValues(*s) || firstValue_ + valuesInSample_ > s->NumSamples ||
        held_.size() % static_cast<std::size_t>(s->BytesPerSample) != 0) {
        return false;
    }
    const std::int64_t coming = static_cast<std::int64_t>(held_.size()) / s->BytesPerSample;
    if (s->BytesPerSample == 1) {
        SpliceValues(instrument, *s, s->Data8, firstValue_, valuesInSample_, held_, marks);
    } else {
        SpliceValues(instrument, *s, s->Data16, firstValue_, valuesInSample_, held_, marks);
    }
    valuesInSample_ = coming;
    s->ValuesChanged(at_, s->NumFrames);
    return true;
}

EditFocus TSpliceCommand::Focus() const {
    const std::int64_t frames = applied_ ? insertedFrames_ : removedFrames_;
    return {sampleIndex_, at_, frames > 0 ? at_ + frames - 1 : at_};
}

// ---- TReplaceSampleCommand ----

TReplaceSampleCommand::TReplaceSampleCommand(std::string name, std::int32_t sampleIndex,
                                             std::unique_ptr<TSample> replacement)
    : name_(std::move(name)), sampleIndex_(sampleIndex), held_(std::move(replacement)) {}

TReplaceSampleCommand::~TReplaceSampleCommand() = default;

bool TReplaceSampleCommand::Apply(TInstrument& instrument) { return Exchange(instrument); }

void TReplaceSampleCommand::Revert(TInstrument& instrument) { Exchange(instrument); }

bool TReplaceSampleCommand::Exchange(TInstrument& instrument) {
    if (!held_ || SampleAt(instrument, sampleIndex_) == nullptr) {
        return false;
    }
    {
        InstrumentEditGuard guard(instrument.EditLock());
        instrument.Samples[static_cast<std::size_t>(sampleIndex_)].swap(held_);
    }
    // The peak summary lives in the sample beside the values it describes, so it comes back
    // with them: undo and redo rebuild nothing. Only a replacement filled without
    // ValuesChanged gets one here, once.
    instrument.Samples[static_cast<std::size_t>(sampleIndex_)]->EnsureSummary();
    return true;
}

std::size_t TReplaceSampleCommand::HeldBytes() const {
    std::size_t bytes = sizeof(*this);
    if (held_) {
        bytes += sizeof(TSample) + static_cast<std::size_t>(held_->Data8.Capacity()) +
                 static_cast<std::size_t>(held_->Data16.Capacity()) * 2;
    }
    return bytes;
}

EditFocus TReplaceSampleCommand::Focus() const { return {sampleIndex_, -1, -1}; }

// ---- TCompositeCommand ----

TCompositeCommand::TCompositeCommand(std::string name,
                                     std::vector<std::unique_ptr<TEditCommand>> parts)
    : name_(std::move(name)), parts_(std::move(parts)) {}

bool TCompositeCommand::Apply(TInstrument& instrument) {
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (!parts_[i]->Apply(instrument)) {
            while (i > 0) {
                parts_[--i]->Revert(instrument);
            }
            return false;
        }
    }
    return !parts_.empty();
}

void TCompositeCommand::Revert(TInstrument& instrument) {
    for (auto part = parts_.rbegin(); part != parts_.rend(); ++part) {
        (*part)->Revert(instrument);
    }
}

std::size_t TCompositeCommand::HeldBytes() const {
    std::size_t bytes = sizeof(*this);
    for (const auto& part : parts_) {
        bytes += part->HeldBytes();
    }
    return bytes;
}

EditFocus TCompositeCommand::Focus() const {
    return parts_.empty() ? EditFocus{} : parts_.back()->Focus();
}

} // namespace sonlet
