#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonlet::testkit {

// Small SoundFont banks written through libinstpatch, so that the import reads a file made by
// another program than itself.
struct BuiltSample {
    std::string name;
    std::vector<std::int16_t> values;
    std::int32_t rate = 44100;
    std::int32_t rootKey = 60;
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
};

struct BuiltZone {
    std::size_t sample = 0;
    std::int32_t keyLow = 0;
    std::int32_t keyHigh = 127;
    std::int32_t velLow = 0;
    std::int32_t velHigh = 127;
    bool loop = false;
    // Generators set on the zone: id and amount.
    std::vector<std::pair<std::uint16_t, std::int16_t>> generators;
};

struct BuiltPreset {
    std::string name;
    std::int32_t bank = 0;
    std::int32_t program = 0;
    std::vector<BuiltZone> zones;
};

struct BuiltBank {
    std::vector<BuiltSample> samples;
    // Pairs of sample indices (left, right) linked as stereo halves.
    std::vector<std::pair<std::size_t, std::size_t>> stereo;
    std::vector<BuiltPreset> presets;
};

// A sine of frames values at hz for a sample of rate.
std::vector<std::int16_t> Sine(std::size_t frames, double hz, double rate,
                               double amplitude = 12000);

// Writes bank to path; false when libinstpatch could not.
bool WriteSoundFont(const BuiltBank& bank, const std::string& path);

// Writes bank as a DLS file (samples, key and velocity ranges and loops; no generators); false
// when libinstpatch could not.
bool WriteDls(const BuiltBank& bank, const std::string& path);

// The two-zone, looped, enveloped preset 000:005 "Two Zones" (a 220 Hz sample of 22050 Hz on
// keys 0..63 with root key 57, an 880 Hz sample on 64..127 with root 81) and the stereo
// preset 001:000 "Stereo Pad" (a linked pair), as the import tests and the command-line tests
// use them.
BuiltBank SmallBank();

} // namespace sonlet::testkit
