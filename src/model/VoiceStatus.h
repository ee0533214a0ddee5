#pragma once

#include <cstdint>

namespace sonlet {

// The status of a playing voice, as the instrument's rendering and the player's voice table
// share it: free for a new note, released (fading out) or held.
inline constexpr std::int16_t VoiceFree = 0;
inline constexpr std::int16_t VoiceReleased = 1;
inline constexpr std::int16_t VoiceHeld = 2;

} // namespace sonlet
