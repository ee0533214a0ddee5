#include "edit/ParamCommands.h"

#include "model/KeyRanges.h"

#include <utility>

namespace sonlet {

namespace {

TSample* SampleAt(const TInstrument& instrument, std::int32_t index) {
    if (index < 0 || index >= instrument.SampleCount) {
        return nullptr;
    }
    return instrument.Samples[static_cast<std::size_t>(index)].get();
}

// Moves the samples from index on one place up and puts sample at index; under the lock.
void PutSample(TInstrument& instrument, std::int32_t index, std::unique_ptr<TSample> sample) {
    for (std::int32_t i = instrument.SampleCount; i > index; --i) {
        instrument.Samples[static_cast<std::size_t>(i)] =
            std::move(instrument.Samples[static_cast<std::size_t>(i) - 1]);
    }
    instrument.Samples[static_cast<std::size_t>(index)] = std::move(sample);
    ++instrument.SampleCount;
}

std::unique_ptr<TSample> TakeSample(TInstrument& instrument, std::int32_t index) {
    std::unique_ptr<TSample> sample =
        std::move(instrument.Samples[static_cast<std::size_t>(index)]);
    for (std::int32_t i = index; i < instrument.SampleCount - 1; ++i) {
        instrument.Samples[static_cast<std::size_t>(i)] =
            std::move(instrument.Samples[static_cast<std::size_t>(i) + 1]);
    }
    --instrument.SampleCount;
    return sample;
}

} // namespace

std::size_t SampleBytes(const TSample& sample) {
    return static_cast<std::size_t>(sample.Data8.Capacity()) +
           static_cast<std::size_t>(sample.Data16.Capacity()) * sizeof(std::int16_t);
}

SampleParams ParamsOf(const TSample& s) {
    return {s.Volume,    s.Panning,    s.Transpose,  s.Finetune, s.LoopType,
            s.LoopStart, s.LoopLength, s.SampleName, s.XiHeader};
}

void SetParams(TSample& s, const SampleParams& p) {
    s.Volume = p.Volume;
    s.Panning = p.Panning;
    s.Transpose = p.Transpose;
    s.Finetune = p.Finetune;
    s.LoopType = p.LoopType;
    s.LoopStart = p.LoopStart;
    s.LoopLength = p.LoopLength;
    s.SampleName = p.SampleName;
    s.XiHeader = p.XiHeader;
    s.UpdateRanges();
}

InstrumentParams ParamsOf(const TInstrument& i) {
    return {i.XiBlock, i.VolEnv,         i.PanEnv, i.VolPoints,  i.PanPoints,
            i.Fadeout, i.InstrumentName, i.XiName, i.TrackerName};
}

void SetParams(TInstrument& i, const InstrumentParams& p) {
    i.XiBlock = p.XiBlock;
    i.VolEnv = p.VolEnv;
    i.PanEnv = p.PanEnv;
    i.VolPoints = p.VolPoints;
    i.PanPoints = p.PanPoints;
    i.Fadeout = p.Fadeout;
    i.InstrumentName = p.InstrumentName;
    i.XiName = p.XiName;
    i.TrackerName = p.TrackerName;
}

// ---- TSampleParamsCommand ----

TSampleParamsCommand::TSampleParamsCommand(std::string name, std::int32_t sampleIndex,
                                           Change change, std::string gesture)
    : name_(std::move(name)), sampleIndex_(sampleIndex), change_(std::move(change)),
      gesture_(std::move(gesture)) {}

TSampleParamsCommand::TSampleParamsCommand(std::string name, std::int32_t sampleIndex,
                                           SampleParams before, SampleParams after)
    : name_(std::move(name)), sampleIndex_(sampleIndex), made_(true), before_(std::move(before)),
      after_(std::move(after)) {}

bool TSampleParamsCommand::Apply(TInstrument& instrument) {
    const TSample* s = SampleAt(instrument, sampleIndex_);
    if (s == nullptr) {
        return false;
    }
    if (!made_) {
        before_ = ParamsOf(*s);
        after_ = before_;
        if (change_) {
            change_(after_);
        }
        if (after_ == before_) {
            return false;
        }
        made_ = true;
    }
    return Write(instrument, after_);
}

void TSampleParamsCommand::Revert(TInstrument& instrument) { Write(instrument, before_); }

bool TSampleParamsCommand::Write(TInstrument& instrument, const SampleParams& params) {
    TSample* s = SampleAt(instrument, sampleIndex_);
    if (s == nullptr) {
        return false;
    }
    InstrumentEditGuard guard(instrument.EditLock());
    SetParams(*s, params);
    return true;
}

bool TSampleParamsCommand::Absorb(const TEditCommand& next) {
    const auto* later = dynamic_cast<const TSampleParamsCommand*>(&next);
    if (later == nullptr || gesture_.empty() || later->gesture_ != gesture_ ||
        later->sampleIndex_ != sampleIndex_) {
        return false;
    }
    after_ = later->after_;
    return true;
}

// ---- TInstrumentParamsCommand ----

TInstrumentParamsCommand::TInstrumentParamsCommand(std::string name, Change change,
                                                   std::string gesture)
    : name_(std::move(name)), change_(std::move(change)), gesture_(std::move(gesture)) {}

TInstrumentParamsCommand::TInstrumentParamsCommand(std::string name, InstrumentParams before,
                                                   InstrumentParams after)
    : name_(std::move(name)), made_(true), before_(std::move(before)), after_(std::move(after)) {}

bool TInstrumentParamsCommand::Apply(TInstrument& instrument) {
    if (!made_) {
        before_ = ParamsOf(instrument);
        after_ = before_;
        if (change_) {
            change_(after_);
        }
        if (after_ == before_) {
            return false;
        }
        made_ = true;
    }
    InstrumentEditGuard guard(instrument.EditLock());
    SetParams(instrument, after_);
    return true;
}

void TInstrumentParamsCommand::Revert(TInstrument& instrument) {
    InstrumentEditGuard guard(instrument.EditLock());
    SetParams(instrument, before_);
}

bool TInstrumentParamsCommand::Absorb(const TEditCommand& next) {
    const auto* later = dynamic_cast<const TInstrumentParamsCommand*>(&next);
    if (later == nullptr || gesture_.empty() || later->gesture_ != gesture_) {
        return false;
    }
    after_ = later->after_;
    return true;
}

// ---- TInsertSampleCommand ----

TInsertSampleCommand::TInsertSampleCommand(std::string name, std::unique_ptr<TSample> sample,
                                           std::int32_t index)
    : name_(std::move(name)), held_(std::move(sample)), index_(index) {}

TInsertSampleCommand::~TInsertSampleCommand() = default;

bool TInsertSampleCommand::Apply(TInstrument& instrument) {
    if (!held_ || instrument.IsFull()) {
        return false;
    }
    placed_ = index_ < 0 || index_ > instrument.SampleCount ? instrument.SampleCount : index_;
    currentBefore_ = instrument.CurrentIndex;
    InstrumentEditGuard guard(instrument.EditLock());
    // Keys keep playing the samples they played, wherever those now stand.
    keysBefore_ = instrument.Keys();
    KeyMap keys = keysBefore_;
    KeysAfterInsertion(keys, placed_, instrument.SampleCount);
    instrument.SetKeys(keys);
    PutSample(instrument, placed_, std::move(held_));
    instrument.CurrentIndex = placed_;
    return true;
}

void TInsertSampleCommand::Revert(TInstrument& instrument) {
    if (placed_ < 0 || placed_ >= instrument.SampleCount) {
        return;
    }
    std::unique_ptr<TSample> taken;
    {
        InstrumentEditGuard guard(instrument.EditLock());
        taken = TakeSample(instrument, placed_);
        instrument.CurrentIndex = currentBefore_;
        instrument.SetKeys(keysBefore_);
    }
    held_ = std::move(taken);
}

std::size_t TInsertSampleCommand::HeldBytes() const {
    return sizeof(*this) + (held_ ? sizeof(TSample) + SampleBytes(*held_) : 0);
}

EditFocus TInsertSampleCommand::Focus() const { return {held_ ? currentBefore_ : placed_, -1, -1}; }

// ---- TRemoveSampleCommand ----

TRemoveSampleCommand::TRemoveSampleCommand(std::int32_t index, std::string name)
    : name_(std::move(name)), index_(index) {}

TRemoveSampleCommand::~TRemoveSampleCommand() = default;

bool TRemoveSampleCommand::Apply(TInstrument& instrument) {
    if (instrument.SampleCount < 2) {
        return false;
    }
    if (removed_ < 0) {
        removed_ = index_ < 0 ? instrument.CurrentIndex : index_;
    }
    if (removed_ < 0 || removed_ >= instrument.SampleCount) {
        return false;
    }
    currentBefore_ = instrument.CurrentIndex;
    std::unique_ptr<TSample> taken;
    {
        InstrumentEditGuard guard(instrument.EditLock());
        // The removed sample's keys go to the one that takes its place, as a delete does.
        keysBefore_ = instrument.Keys();
        KeyMap keys = keysBefore_;
        KeysAfterRemoval(keys, removed_, instrument.SampleCount);
        instrument.SetKeys(keys);
        taken = TakeSample(instrument, removed_);
        if (instrument.CurrentIndex >= removed_ && instrument.CurrentIndex > 0) {
            --instrument.CurrentIndex;
        }
    }
    held_ = std::move(taken);
    return true;
}

void TRemoveSampleCommand::Revert(TInstrument& instrument) {
    if (!held_ || instrument.IsFull()) {
        return;
    }
    InstrumentEditGuard guard(instrument.EditLock());
    PutSample(instrument, removed_, std::move(held_));
    instrument.CurrentIndex = currentBefore_;
    instrument.SetKeys(keysBefore_);
}

std::size_t TRemoveSampleCommand::HeldBytes() const {
    return sizeof(*this) + (held_ ? sizeof(TSample) + SampleBytes(*held_) : 0);
}

EditFocus TRemoveSampleCommand::Focus() const { return {held_ ? -1 : removed_, -1, -1}; }

} // namespace sonlet
