#pragma once

#include <cstdint>
#include <span>

// The delta coding of XI sample data: each stored number is the difference between a value
// and the one before it (the first taken from 0), modulo 256 or 65536. The functions work on
// whole spans and carry the running value from one span to the next, so a long sample can be
// coded piece by piece.
namespace sonlet::delta {

// In place: deltas as read become stored 8-bit bytes (unsigned, 128 = silence).
// running is the signed value before the span; the value after it is returned.
std::uint8_t Decode8(std::span<std::uint8_t> bytes, std::uint8_t running);
// In place: little-endian 16-bit deltas as read become signed 16-bit values.
std::uint16_t Decode16(std::span<std::int16_t> words, std::uint16_t running);

// Stored 8-bit bytes to deltas; out has the size of stored. previous is the signed value
// before the span; the last value of the span is returned.
std::uint8_t Encode8(std::span<const std::uint8_t> stored, std::span<std::uint8_t> out,
                     std::uint8_t previous);
// Signed 16-bit values to little-endian deltas; out has twice the size of values in bytes.
std::uint16_t Encode16(std::span<const std::int16_t> values, std::span<std::uint8_t> out,
                       std::uint16_t previous);

} // namespace sonlet::delta
