#pragma once

#include "model/Instrument.h"

#include <cstdint>
#include <optional>

namespace sonlet {

// A key's rectangle on the piano, in the piano's own pixels.
struct KeyRect {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Black = false;
};

// The key map editor's logic: the geometry of a 96-key piano (C-0 to B-7, 56 white keys
// across the width) and what one press, drag and release over it do. The widget paints,
// maps the mouse and carries out the steps.
class TKeyMapEditor {
public:
    static constexpr std::int32_t WhiteKeys = 56;

    std::int32_t Width = 0;
    std::int32_t Height = 0;

    static bool IsBlack(std::int32_t note);
    KeyRect Key(std::int32_t note) const;
    // The note under (x, y), black keys first; -1 off the keys.
    std::int32_t NoteAt(std::int32_t x, std::int32_t y) const;

    // What the widget does after a mouse event: stop one note, start another, and make the
    // key map edit (the key map it should become, as one step of the gesture).
    struct Step {
        std::int32_t NoteOff = -1;
        std::int32_t NoteOn = -1;
        std::optional<KeyMap> Keys;
    };

    // A press on note: it sounds while the button is held and, when assign is set, plays
    // `sample` from now on.
    Step Press(const KeyMap& keys, std::int32_t note, std::uint8_t sample, bool assign);
    // The mouse moved onto note while pressed: the sound follows it, and every key between
    // the previous one and this one is assigned, so a quick drag skips none.
    Step MoveTo(const KeyMap& keys, std::int32_t note);
    Step Release();

    bool Pressed() const { return note_ >= 0; }
    // Numbers each press, so that the steps of one drag make one undo step.
    std::uint64_t Gesture() const { return gesture_; }

private:
    std::int32_t note_ = -1;
    bool assign_ = false;
    std::uint8_t sample_ = 0;
    std::uint64_t gesture_ = 0;
};

} // namespace sonlet
