#pragma once

#include "edit/EditCommand.h"
#include "model/Instrument.h"

#include <cstdint>
#include <string>

namespace sonlet {

// A change of the key map: keeps the 96 entries before and after.
class TKeyMapCommand final : public TEditCommand {
public:
    // Steps with the same non-zero gesture (one drag across the keys) fold into one.
    TKeyMapCommand(std::string name, const KeyMap& before, const KeyMap& after,
                   std::uint64_t gesture = 0);

    std::string Name() const override { return name_; }
    bool Apply(TInstrument& instrument) override;
    void Revert(TInstrument& instrument) override;
    std::size_t HeldBytes() const override { return sizeof(*this) + name_.capacity(); }
    bool Absorb(const TEditCommand& next) override;

private:
    std::string name_;
    KeyMap before_;
    KeyMap after_;
    std::uint64_t gesture_;
};

} // namespace sonlet
