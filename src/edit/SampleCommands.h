#pragma once

#include "edit/EditCommand.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sonlet {

class TSample;

// The bytes of a sample's stored values first..end-1, in its own format (8-bit unsigned or
// signed 16-bit in native order).
std::vector<std::uint8_t> StoredBytes(const TSample& sample, std::int64_t first, std::int64_t end);

// What a length-changing edit moves besides the values: the loop and the marks.
struct SpliceMarks {
    std::int64_t LoopStart = -1;
    std::int64_t LoopLength = 0;
    std::uint8_t LoopType = 0;
    std::int64_t MarkA = -1;
    std::int64_t MarkB = -1;

    bool operator==(const SpliceMarks&) const = default;
};

SpliceMarks MarksOf(const TSample& sample);
// The loop and marks once frames at..at+removed-1 are removed and inserted frames put there:
// a loop after the range moves with its sound, one cut into shrinks to what is left (and
// vanishes only when nothing is left), one the insertion lands inside grows. The inserted
// frames end up selected; with none, no mark is left.
SpliceMarks SplicedMarks(const SpliceMarks& before, std::int64_t at, std::int64_t removed,
                         std::int64_t inserted);

// Runs a function in place over frames first..last of one sample; the function may change
// only those frames. The step keeps the old values of the range, or nothing when the function
// is its own exact inverse (Reverse, Swap channels, Invert), and redoes by exchanging values,
// so a random function redoes to the same result. The sample's marks as they were at the
// first Apply come back with every undo and redo.
class TRangeCommand : public TEditCommand {
public:
    // The function is called under the instrument's edit lock with first and last as given.
    using Function = std::function<void(TSample& sample, std::int64_t first, std::int64_t last)>;

    TRangeCommand(std::string name, std::int32_t sampleIndex, std::int64_t first, std::int64_t last,
                  Function function, bool selfInverse = false);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override;
    EditFocus Focus() const override;

private:
    // Exchanges the held values with those of the range; false without a sample to do it on.
    bool Exchange(TInstrument& instrument);

    std::string name_;
    std::int32_t sampleIndex_;
    std::int64_t first_;
    std::int64_t last_;
    Function function_;
    bool selfInverse_;
    bool made_ = false;
    std::int64_t firstValue_ = 0;
    std::int64_t endValue_ = 0;
    std::int64_t markA_ = -1;
    std::int64_t markB_ = -1;
    std::vector<std::uint8_t> held_;
};

// Removes frames at..at+removed-1 of one sample and puts frames in their place (stored values
// in the sample's own format; whole frames), for Cut, Delete, Paste and Crop. The sample gets
// new storage under the edit lock and the old is freed after it. A removal that reaches the
// last frame also takes a trailing partial frame. The step keeps only the values that are not
// in the sample: the removed ones while made, the inserted ones while undone.
class TSpliceCommand : public TEditCommand {
public:
    TSpliceCommand(std::string name, std::int32_t sampleIndex, std::int64_t at,
                   std::int64_t removed, std::vector<std::uint8_t> inserted);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override { return held_.capacity() + sizeof(*this); }
    EditFocus Focus() const override;

private:
    bool Exchange(TInstrument& instrument, const SpliceMarks& marks);

    std::string name_;
    std::int32_t sampleIndex_;
    std::int64_t at_;
    std::int64_t removedFrames_;
    std::int64_t insertedFrames_ = 0;
    bool made_ = false;
    bool applied_ = false;
    std::int64_t firstValue_ = 0;
    // How many stored values at firstValue_ the next exchange takes out of the sample.
    std::int64_t valuesInSample_ = 0;
    SpliceMarks before_;
    SpliceMarks after_;
    std::vector<std::uint8_t> held_;
};

// Puts a whole new sample (another format, length or rate) in place of one; the step keeps
// the sample that is not in the instrument, peak summary and all, so that undo and redo are a
// swap whatever the length. The replacement comes as its maker left it, ValuesChanged called.
class TReplaceSampleCommand : public TEditCommand {
public:
    TReplaceSampleCommand(std::string name, std::int32_t sampleIndex,
                          std::unique_ptr<TSample> replacement);
    ~TReplaceSampleCommand() override;

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override;
    EditFocus Focus() const override;

private:
    bool Exchange(TInstrument& instrument);

    std::string name_;
    std::int32_t sampleIndex_;
    std::unique_ptr<TSample> held_;
};

// Several commands as one step: made in order, taken back in reverse order.
class TCompositeCommand : public TEditCommand {
public:
    TCompositeCommand(std::string name, std::vector<std::unique_ptr<TEditCommand>> parts);

    std::string Name() const override { return name_; }
    // Takes back the parts already made when one fails.
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override;
    // The focus of the part made last.
    EditFocus Focus() const override;

private:
    std::string name_;
    std::vector<std::unique_ptr<TEditCommand>> parts_;
};

} // namespace sonlet
