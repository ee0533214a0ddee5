#include "ui/logic/KeyMapEditor.h"

#include "model/KeyRanges.h"

#include <cmath>

namespace sonlet {

namespace {

// The white key a note sits on or (a black key) to the right of, counted within its octave.
constexpr std::int32_t WhiteIndex[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};

} // namespace

bool TKeyMapEditor::IsBlack(std::int32_t note) {
    const std::int32_t n = note % 12;
    return n == 1 || n == 3 || n == 6 || n == 8 || n == 10;
}

KeyRect TKeyMapEditor::Key(std::int32_t note) const {
    const double white = static_cast<double>(Width) / WhiteKeys;
    const std::int32_t index = 7 * (note / 12) + WhiteIndex[note % 12];
    const auto at = [white](double k) { return static_cast<std::int32_t>(std::lround(k * white)); };
    if (!IsBlack(note)) {
        return {at(index), 0, at(index + 1) - at(index), Height, false};
    }
    // A black key straddles the border after its white key, two thirds of a white key wide.
    const std::int32_t left = at(index + 1.0 - 1.0 / 3);
    return {left, 0, at(index + 1.0 + 1.0 / 3) - left, Height * 3 / 5, true};
}

std::int32_t TKeyMapEditor::NoteAt(std::int32_t x, std::int32_t y) const {
    if (Width <= 0 || x < 0 || x >= Width || y < 0 || y >= Height) {
        return -1;
    }
    const auto inside = [x, y](const KeyRect& r) {
        return x >= r.X && x < r.X + r.Width && y >= r.Y && y < r.Y + r.Height;
    };
    const std::int32_t guess = static_cast<std::int32_t>(static_cast<std::int64_t>(x) * WhiteKeys /
                                                         Width); // the white key column under x
    const std::int32_t octave = guess / 7;
    for (std::int32_t n = 0; n < 12; ++n) {
        for (const std::int32_t o : {octave - 1, octave, octave + 1}) {
            const std::int32_t note = 12 * o + n;
            if (o >= 0 && note < KeyMapNotes && IsBlack(note) && inside(Key(note))) {
                return note;
            }
        }
    }
    for (const std::int32_t o : {octave - 1, octave, octave + 1}) {
        for (std::int32_t n = 0; n < 12; ++n) {
            const std::int32_t note = 12 * o + n;
            if (o >= 0 && note < KeyMapNotes && !IsBlack(note) && inside(Key(note))) {
                return note;
            }
        }
    }
    return -1;
}

TKeyMapEditor::Step TKeyMapEditor::Press(const KeyMap& keys, std::int32_t note, std::uint8_t sample,
                                         bool assign) {
    Step step = Release();
    if (note < 0 || note >= KeyMapNotes) {
        return step;
    }
    ++gesture_;
    note_ = note;
    assign_ = assign;
    sample_ = sample;
    step.NoteOn = note;
    if (assign && keys[static_cast<std::size_t>(note)] != sample) {
        KeyMap changed = keys;
        changed[static_cast<std::size_t>(note)] = sample;
        step.Keys = changed;
    }
    return step;
}

TKeyMapEditor::Step TKeyMapEditor::MoveTo(const KeyMap& keys, std::int32_t note) {
    Step step;
    if (note_ < 0 || note < 0 || note >= KeyMapNotes || note == note_) {
        return step;
    }
    step.NoteOff = note_;
    step.NoteOn = note;
    if (assign_) {
        KeyMap changed = keys;
        MapNotes(changed, note_, note, sample_);
        if (changed != keys) {
            step.Keys = changed;
        }
    }
    note_ = note;
    return step;
}

TKeyMapEditor::Step TKeyMapEditor::Release() {
    Step step;
    step.NoteOff = note_;
    note_ = -1;
    return step;
}

} // namespace sonlet
