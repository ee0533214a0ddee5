#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet {

class TInstrument;

// SoundFont (SF2, SF3) and DLS banks, as the program sees them: presets made of zones, each
// zone one sample over a key and velocity range with the parameters that shape it. The
// library that reads the files stays behind TSoundBank::Open.

enum class BankChannel : std::uint8_t { Mono, Left, Right };

struct BankSampleInfo {
    std::string name;
    std::uint32_t frames = 0;
    std::uint32_t rate = 0;
    // 1, or 2 for a sample the bank stores as stereo itself (DLS); SoundFont pairs are two
    // mono samples linked to each other.
    std::int32_t channels = 1;
    BankChannel side = BankChannel::Mono;
    // The other half of a linked pair, or -1.
    std::int32_t linked = -1;
    // The key at which the sample plays at its own pitch, and its correction in cents.
    std::int32_t rootKey = 60;
    std::int32_t correctionCents = 0;
    // The sample's own loop (frames, end exclusive); start == end when it has none.
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
};

// A volume envelope in seconds; sustain as attenuation in dB (0 = full level).
struct BankEnvelope {
    double delay = 0;
    double attack = 0;
    double hold = 0;
    double decay = 0;
    double sustainDb = 0;
    double release = 0;
};

enum class BankLoop : std::uint8_t { None, Continuous, UntilRelease };

// One voice of a preset, flattened from preset and instrument levels.
struct BankZone {
    std::int32_t keyLow = 0;
    std::int32_t keyHigh = 127;
    std::int32_t velLow = 0;
    std::int32_t velHigh = 127;
    std::int32_t sample = -1;
    std::int32_t rootKey = 60;
    // Coarse and fine tune and the sample's own correction.
    double tuneCents = 0;
    std::int32_t scaleTuning = 100;
    BankLoop loop = BankLoop::None;
    // Frames of the sample; loopEnd is the first frame after the loop.
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
    double attenuationDb = 0;
    // -1 (left) .. 1 (right).
    double pan = 0;
    BankEnvelope volume;
    double vibratoHz = 8.176;
    double vibratoDelay = 0;
    double vibratoCents = 0;
    // What the XI form has no room for.
    bool filter = false;
    bool modulationLfo = false;
    bool modulationEnvelope = false;
    bool keyScaledEnvelope = false;
};

struct BankPreset {
    std::int32_t bank = 0;
    std::int32_t program = 0;
    std::string name;
    std::int32_t zoneCount = 0;
};

class TSoundBank {
public:
    virtual ~TSoundBank() = default;

    // Opens a bank; null, after a message, when the file is damaged or not a bank. A build
    // without the bank library says so.
    static std::unique_ptr<TSoundBank> Open(const std::string& fileName);

    const std::vector<BankPreset>& Presets() const { return presets_; }
    const std::vector<BankSampleInfo>& Samples() const { return samples_; }
    // The zones of preset index; empty, after a message, when they cannot be read.
    virtual std::vector<BankZone> Zones(std::size_t preset) = 0;
    // The 16-bit values of sample index, channels interleaved; false after a message.
    virtual bool ReadValues(std::size_t sample, std::vector<std::int16_t>& values) = 0;

protected:
    std::vector<BankPreset> presets_;
    std::vector<BankSampleInfo> samples_;
};

// ".sf2", ".sf3" and ".dls" in any case.
bool IsBankFileName(std::string_view fileName);

// What a conversion could not carry into the XI form, said once per kind.
struct BankConversionNotes {
    std::int32_t droppedSamples = 0;
    std::vector<std::string> leftOut;
    // One line: "left out: ..." or empty.
    std::string Summary() const;
};

// Builds an instrument of one preset into inst (which nobody else sees yet): its samples,
// key map, tuning, loops, volume and panning, volume envelope, fadeout, auto-vibrato and
// name. False, after a message, when the preset gave no sample.
bool ConvertPreset(TSoundBank& bank, std::size_t preset, TInstrument& inst,
                   BankConversionNotes& notes);

// One sample of the bank as a sample of its own, tuned as in a preset (its root key plays it at
// its own rate), with its own loop; null after a message.
std::unique_ptr<TSample> BankSampleToSample(TSoundBank& bank, std::size_t sample);

// "BBB-PPP Name.xi" with characters a file name cannot hold replaced.
std::string PresetFileName(const BankPreset& preset);

} // namespace sonlet
