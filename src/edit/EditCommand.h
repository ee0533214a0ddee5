#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sonlet {

class TInstrument;

// What an edit touched, so that the editor can show it after an undo or redo: the sample
// (-1: the instrument as a whole) and the frames first..last (-1: none in particular).
struct EditFocus {
    std::int32_t SampleIndex = -1;
    std::int64_t First = -1;
    std::int64_t Last = -1;
};

// One change a user can make to the instrument, able to make and take back itself.
//
// Apply runs when the edit is first made and again on every redo; Revert only right after an
// Apply, with the instrument as Apply left it. Both change the instrument under its edit lock
// and free any storage they replace only after releasing it, so the player never reads freed
// or half-replaced memory. A command keeps only what it needs to take itself back: the values
// of the frames it overwrote or removed, and nothing at all where its inverse is exact.
class TEditCommand {
public:
    virtual ~TEditCommand() = default;

    // The step's name as the Edit menu shows it ("Reverse" gives "Undo Reverse").
    virtual std::string Name() const = 0;
    // False, with the instrument unchanged, when the edit cannot be made.
    virtual bool Apply(TInstrument& instrument) = 0;
    virtual void Revert(TInstrument& instrument) = 0;
    // The memory this step keeps for its undo and redo.
    virtual std::size_t HeldBytes() const = 0;
    virtual EditFocus Focus() const { return {}; }
    // Folds a later step of the same gesture (one slider drag, one run of arrow keys) into
    // this one, which then reaches the later step's result; false when next is not part of
    // the same gesture. Called only with next already applied.
    virtual bool Absorb(const TEditCommand& next) {
        static_cast<void>(next);
        return false;
    }
};

} // namespace sonlet
