#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The sampler chunk ("smpl") of a WAV file: the MIDI unity note and the sample's loops.
namespace sonlet {

inline constexpr std::size_t SmplHeaderSize = 36;
inline constexpr std::size_t SmplLoopSize = 24;

// Loop types of the chunk.
inline constexpr std::uint32_t SmplLoopForward = 0;
inline constexpr std::uint32_t SmplLoopAlternating = 1;
inline constexpr std::uint32_t SmplLoopBackward = 2;

// One loop of the chunk: its type and its first and last frame (both inclusive).
struct SmplLoop {
    std::uint32_t Type = SmplLoopForward;
    std::int64_t First = 0;
    std::int64_t Last = 0;
};

// The first loop of a chunk body, when the body holds one whole.
std::optional<SmplLoop> FirstSmplLoop(std::span<const std::uint8_t> body);

// Makes a file's loop the sample's: forward stays forward, alternating plays as pingpong and
// backward as forward, the only directions a tracker loops in; an end past the last frame
// is moved to it. A loop of another type, or one that starts past the last frame, is left
// out without a word, and the sample keeps no loop.
void TakeFileLoop(TSample& sample, const SmplLoop& loop);

// The whole chunk (identifier, size, body) for the sample written at rate: the note at which
// its tuning plays it at that rate, and its loop, if it has one.
std::vector<std::uint8_t> SmplChunk(const TSample& sample, std::uint32_t rate);

} // namespace sonlet
