#pragma once

#include <cstdint>

namespace sonlet {

// Returned by KeyToNote for a key that plays no note.
inline constexpr std::uint8_t NoNote = 255;
// The note a key offset of 0 plays.
inline constexpr std::int32_t KeyboardBaseNote = 48;

// The computer-keyboard piano: a Windows virtual-key code (US layout) to a note offset 0..31,
// or NoNote. Bottom letter row and home row make the lower octave, top letter row and digit
// row the upper one.
std::uint8_t KeyToNote(std::uint32_t virtualKey);

} // namespace sonlet
