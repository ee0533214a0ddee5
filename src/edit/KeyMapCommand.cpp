#include "edit/KeyMapCommand.h"

#include <utility>

namespace sonlet {

TKeyMapCommand::TKeyMapCommand(std::string name, const KeyMap& before, const KeyMap& after,
                               std::uint64_t gesture)
    : name_(std::move(name)), before_(before), after_(after), gesture_(gesture) {}

bool TKeyMapCommand::Apply(TInstrument& instrument) {
    if (before_ == after_) {
        return false;
    }
    instrument.SetKeys(after_);
    return true;
}

void TKeyMapCommand::Revert(TInstrument& instrument) { instrument.SetKeys(before_); }

bool TKeyMapCommand::Absorb(const TEditCommand& next) {
    const auto* later = dynamic_cast<const TKeyMapCommand*>(&next);
    if (later == nullptr || gesture_ == 0 || later->gesture_ != gesture_) {
        return false;
    }
    after_ = later->after_;
    return true;
}

} // namespace sonlet
