#pragma once

#include "edit/EditCommand.h"
#include "model/Instrument.h"

#include <cstdint>
#include <string>

namespace sonlet {

// A change of the auto-vibrato. Successive changes of the same control (an arrow-key run, a
// typed number) fold into one step.
class TVibratoCommand final : public TEditCommand {
public:
    TVibratoCommand(const Vibrato& before, const Vibrato& after, int control);

    std::string Name() const override { return "Vibrato"; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override { instrument.SetAutoVibrato(before_); }
    std::size_t HeldBytes() const override { return sizeof(*this); }
    bool Absorb(const TEditCommand& next) override;

private:
    Vibrato before_;
    Vibrato after_;
    int control_;
};

// A new name for the instrument (sample -1) or for one sample, in the code page's bytes. The
// renames of one target in a row (a name typed letter by letter) fold into one step.
class TRenameCommand final : public TEditCommand {
public:
    TRenameCommand(std::int32_t sample, std::string name);

    std::string Name() const override { return sample_ < 0 ? "Instrument Name" : "Rename Sample"; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override {
        return sizeof(*this) + name_.capacity() + before_.capacity();
    }
    EditFocus Focus() const override { return {sample_, -1, -1}; }
    bool Absorb(const TEditCommand& next) override;

private:
    std::string& Field(TInstrument& instrument) const;

    std::int32_t sample_;
    std::string name_;
    std::string before_;
};

// One envelope (volume or panning) as a whole: its parameters and its 12 points.
struct EnvelopeState {
    EnvelopeParams Params;
    EnvelopePoints Points{};
    friend bool operator==(const EnvelopeState&, const EnvelopeState&) = default;
};

enum class EnvelopeKind : std::uint8_t { Volume = 0, Panning = 1 };

EnvelopeState EnvelopeOf(const TInstrument& instrument, EnvelopeKind kind);

// An edit of one envelope: the envelope before and after, whatever the gesture changed
// (points added, moved or deleted, a marker moved, a flag set).
class TEnvelopeCommand final : public TEditCommand {
public:
    TEnvelopeCommand(std::string name, EnvelopeKind kind, const EnvelopeState& before,
                     const EnvelopeState& after);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override { Put(instrument, before_); }
    std::size_t HeldBytes() const override { return sizeof(*this) + name_.capacity(); }

private:
    void Put(TInstrument& instrument, const EnvelopeState& state) const;

    std::string name_;
    EnvelopeKind kind_;
    EnvelopeState before_;
    EnvelopeState after_;
};

} // namespace sonlet
