#include "edit/InstrumentCommands.h"

#include <utility>

namespace sonlet {

TVibratoCommand::TVibratoCommand(const Vibrato& before, const Vibrato& after, int control)
    : before_(before), after_(after), control_(control) {}

bool TVibratoCommand::Apply(TInstrument& instrument) {
    if (before_ == after_) {
        return false;
    }
    instrument.SetAutoVibrato(after_);
    return true;
}

bool TVibratoCommand::Absorb(const TEditCommand& next) {
    const auto* later = dynamic_cast<const TVibratoCommand*>(&next);
    if (later == nullptr || later->control_ != control_) {
        return false;
    }
    after_ = later->after_;
    return true;
}

TRenameCommand::TRenameCommand(std::int32_t sample, std::string name)
    : sample_(sample), name_(std::move(name)) {}

std::string& TRenameCommand::Field(TInstrument& instrument) const {
    return sample_ < 0 ? instrument.InstrumentName
                       : instrument.Samples[static_cast<std::size_t>(sample_)]->SampleName;
}

bool TRenameCommand::Apply(TInstrument& instrument) {
    if (sample_ >= instrument.SampleCount) {
        return false;
    }
    const std::string name = name_.substr(0, sample_ < 0 ? std::string::npos : MaxSampleNameLength);
    if (Field(instrument) == name) {
        return false;
    }
    InstrumentEditGuard guard(instrument.EditLock());
    before_ = Field(instrument);
    if (sample_ < 0) {
        instrument.InstrumentName = name;
    } else {
        instrument.Samples[static_cast<std::size_t>(sample_)]->SetName(name);
    }
    return true;
}

void TRenameCommand::Revert(TInstrument& instrument) {
    InstrumentEditGuard guard(instrument.EditLock());
    if (sample_ < 0) {
        instrument.InstrumentName = before_;
    } else {
        instrument.Samples[static_cast<std::size_t>(sample_)]->SetName(before_);
    }
}

bool TRenameCommand::Absorb(const TEditCommand& next) {
    const auto* later = dynamic_cast<const TRenameCommand*>(&next);
    if (later == nullptr || later->sample_ != sample_) {
        return false;
    }
    name_ = later->name_;
    return true;
}

EnvelopeState EnvelopeOf(const TInstrument& instrument, EnvelopeKind kind) {
    return kind == EnvelopeKind::Volume ? EnvelopeState{instrument.VolEnv, instrument.VolPoints}
                                        : EnvelopeState{instrument.PanEnv, instrument.PanPoints};
}

TEnvelopeCommand::TEnvelopeCommand(std::string name, EnvelopeKind kind, const EnvelopeState& before,
                                   const EnvelopeState& after)
    : name_(std::move(name)), kind_(kind), before_(before), after_(after) {}

bool TEnvelopeCommand::Apply(TInstrument& instrument) {
    if (before_ == after_) {
        return false;
    }
    Put(instrument, after_);
    return true;
}

void TEnvelopeCommand::Put(TInstrument& instrument, const EnvelopeState& state) const {
    InstrumentEditGuard guard(instrument.EditLock());
    EnvelopeParams& params = kind_ == EnvelopeKind::Volume ? instrument.VolEnv : instrument.PanEnv;
    EnvelopePoints& points =
        kind_ == EnvelopeKind::Volume ? instrument.VolPoints : instrument.PanPoints;
    params = state.Params;
    points = state.Points;
}

} // namespace sonlet
