#pragma once

#include "edit/EditCommand.h"
#include "model/Instrument.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sonlet {

// A sample's settings that the property panel and the key map edit: everything of an XI
// sample header but the values.
struct SampleParams {
    std::uint8_t Volume = 64;
    std::int8_t Panning = 0;
    std::int8_t Transpose = 0;
    std::int16_t Finetune = 0;
    std::uint8_t LoopType = 0;
    std::int64_t LoopStart = -1;
    std::int64_t LoopLength = 0;
    std::string SampleName;
    std::array<std::uint8_t, XiSampleHeaderSize> XiHeader{};

    bool operator==(const SampleParams&) const = default;
};

SampleParams ParamsOf(const TSample& sample);
// Writes params into sample; the caller holds the edit lock.
void SetParams(TSample& sample, const SampleParams& params);

// The instrument's own settings: envelopes and their flags, fadeout, names and the XI block
// that holds key map and vibrato.
struct InstrumentParams {
    std::array<std::uint8_t, XiBlockSize> XiBlock{};
    EnvelopeParams VolEnv;
    EnvelopeParams PanEnv;
    EnvelopePoints VolPoints{};
    EnvelopePoints PanPoints{};
    std::uint16_t Fadeout = 0;
    std::string InstrumentName;
    std::string XiName;
    std::string TrackerName;

    bool operator==(const InstrumentParams&) const = default;
};

InstrumentParams ParamsOf(const TInstrument& instrument);
void SetParams(TInstrument& instrument, const InstrumentParams& params);

// Changes settings of one sample; keeps the settings before and after, no values. Steps of one
// gesture (the same non-empty gesture key on the same sample: one slider drag, one run of
// arrow keys) fold into one. Refused when the change changes nothing.
class TSampleParamsCommand : public TEditCommand {
public:
    using Change = std::function<void(SampleParams& params)>;

    TSampleParamsCommand(std::string name, std::int32_t sampleIndex, Change change,
                         std::string gesture = {});
    // A change already made live (a marker drag): the step only records it.
    TSampleParamsCommand(std::string name, std::int32_t sampleIndex, SampleParams before,
                         SampleParams after);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override { return sizeof(*this); }
    EditFocus Focus() const override { return {sampleIndex_, -1, -1}; }
    bool Absorb(const TEditCommand& next) override;

private:
    bool Write(TInstrument& instrument, const SampleParams& params);

    std::string name_;
    std::int32_t sampleIndex_;
    Change change_;
    std::string gesture_;
    bool made_ = false;
    SampleParams before_;
    SampleParams after_;
};

// Changes settings of the instrument (envelope points and flags, fadeout, names, key map,
// vibrato), with the same folding of one gesture's steps.
class TInstrumentParamsCommand : public TEditCommand {
public:
    using Change = std::function<void(InstrumentParams& params)>;

    TInstrumentParamsCommand(std::string name, Change change, std::string gesture = {});
    // A change already made live (an envelope point drag): the step only records it.
    TInstrumentParamsCommand(std::string name, InstrumentParams before, InstrumentParams after);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override { return sizeof(*this); }
    bool Absorb(const TEditCommand& next) override;

private:
    std::string name_;
    Change change_;
    std::string gesture_;
    bool made_ = false;
    InstrumentParams before_;
    InstrumentParams after_;
};

// Puts a sample (new, imported, pasted) into the instrument at index (-1: after the last
// one) and makes it current; refused at 16 samples. While undone the step keeps the sample.
class TInsertSampleCommand : public TEditCommand {
public:
    TInsertSampleCommand(std::string name, std::unique_ptr<TSample> sample,
                         std::int32_t index = -1);
    ~TInsertSampleCommand() override;

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override;
    EditFocus Focus() const override;

private:
    std::string name_;
    std::unique_ptr<TSample> held_;
    std::int32_t index_;
    std::int32_t placed_ = -1;
    std::int32_t currentBefore_ = -1;
    KeyMap keysBefore_{};
};

// Takes a sample out of the instrument (index -1: the current one); refused when it is the
// only one. The current sample then moves as the instrument's own delete moves it. While
// made the step keeps the sample.
class TRemoveSampleCommand : public TEditCommand {
public:
    explicit TRemoveSampleCommand(std::int32_t index = -1, std::string name = "Delete Sample");
    ~TRemoveSampleCommand() override;

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override;
    EditFocus Focus() const override;

private:
    std::string name_;
    std::int32_t index_;
    std::int32_t removed_ = -1;
    std::int32_t currentBefore_ = -1;
    std::unique_ptr<TSample> held_;
    KeyMap keysBefore_{};
};

// The memory a sample's values take.
std::size_t SampleBytes(const TSample& sample);

} // namespace sonlet
