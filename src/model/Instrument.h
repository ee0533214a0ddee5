#pragma once

#include "model/Sample.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace sonlet {

inline constexpr std::int32_t MaxSamples = 16;
inline constexpr std::size_t XiBlockSize = 230;
inline constexpr std::size_t EnvelopePointCount = 12;

// One envelope's parameter bytes, in the order the XI instrument block keeps them.
struct EnvelopeParams {
    std::uint8_t Count = 0;
    std::uint8_t Sustain = 0;
    std::uint8_t LoopStart = 0;
    std::uint8_t LoopEnd = 0;
    std::uint8_t Enabled = 0;
    std::uint8_t SustainOn = 0;
    std::uint8_t LoopOn = 0;

    bool operator==(const EnvelopeParams&) const = default;
};

struct EnvelopePoint {
    std::uint16_t X = 0;
    std::uint16_t Y = 0;

    bool operator==(const EnvelopePoint&) const = default;
};

using EnvelopePoints = std::array<EnvelopePoint, EnvelopePointCount>;

// Puts the sustain point, loop start and loop end onto existing points: into 0..count-1 of
// at most 12 points, and 0 for an empty envelope.
void ClampMarkers(EnvelopeParams& envelope);

// The key map: for each of the 96 notes (note 60 is C-5) the sample it plays, counting from 0.
inline constexpr std::int32_t KeyMapNotes = 96;
using KeyMap = std::array<std::uint8_t, KeyMapNotes>;

// The instrument's auto-vibrato, as the XI block keeps it: type 0..3 (sine, square, ramp
// down, ramp up), sweep 0..255, depth 0..15, rate 0..63; a file may hold other values.
struct Vibrato {
    std::uint8_t Type = 0;
    std::uint8_t Sweep = 0;
    std::uint8_t Depth = 0;
    std::uint8_t Rate = 0;
    friend bool operator==(const Vibrato&, const Vibrato&) = default;
};

// The document: up to 16 samples, the current one, and the instrument-level XI parameters.
//
// Thread use: the GUI thread runs every operation and holds EditLock() around every change
// to the instrument or its samples; the operations below take it themselves. The player
// thread holds the lock while it renders a segment, so it never reads a sample that is
// being freed, reallocated or edited.
class TInstrument {
public:
    TInstrument();
    TInstrument(const TInstrument&) = delete;
    TInstrument& operator=(const TInstrument&) = delete;
    ~TInstrument();

    std::array<std::uint8_t, XiBlockSize> XiBlock{};
    std::string TrackerName;
    std::string XiName;
    std::uint16_t XiVersion = 0;
    std::uint16_t XiSampleCount = 0;
    std::int32_t CurrentIndex = 0;
    std::string FileName;
    std::array<std::unique_ptr<TSample>, MaxSamples> Samples;
    std::int32_t SampleCount = 0;
    EnvelopeParams VolEnv;
    EnvelopeParams PanEnv;
    EnvelopePoints VolPoints{};
    EnvelopePoints PanPoints{};
    std::uint16_t Fadeout = 0;
    std::string InstrumentName;

    void Clear();
    // A new instrument: one sample of 4096 frames of 16-bit stereo silence, no name, the key
    // map all sample 1, no vibrato, both envelopes empty and off, Fadeout 1024.
    void InitNew();
    // Adds an empty sample and makes it current; nothing when 16 are held.
    void AddSample();
    // Removes a sample (index < 0: the current one); an instrument keeps at least one. Its
    // keys go to the sample that takes its place (the last one, when it was the last), and the
    // keys of later samples follow them down; keys that named no sample stay as they were.
    void DeleteSample(std::int32_t index);
    void SetCurrentSample(std::int32_t index);
    TSample* CurrentSample() const;
    bool IsFull() const { return SampleCount >= MaxSamples; }

    // ".xi" (any case) goes to the XI reader, anything else to the WAV importer.
    //
    // Every load reads the file into an instrument of its own and only then, under the edit
    // lock, puts what it read in place of this one's samples (an XI file: of all its
    // fields). A load that fails (reported to the user) returns false and leaves this
    // instrument as it was; the player never sees a half-read instrument, and no message
    // box is shown while the lock is held.
    bool LoadFromFile(const std::string& fileName);
    // Saves as XI when the name ends in ".xi"; any other name saves nothing. True only when
    // the file was written.
    bool SaveToFile(const std::string& fileName);
    // Replaces the samples by the one sample of a WAV file, tuned to play at the file's rate
    // at C-5; the instrument's envelopes, vibrato and name stay, the key map becomes all
    // sample 1, Fadeout becomes 1024.
    bool LoadWav(const std::string& fileName);
    // Reads a WAV file into a new sample after the existing ones and makes it current.
    // False, with nothing added, when 16 samples are held (not reported) or the file gave no
    // sample (reported).
    bool AddWavSample(const std::string& fileName);
    // Replaces the whole instrument by an XI file's.
    bool LoadXi(const std::string& fileName);
    // Takes every field of an instrument built elsewhere (a converted bank preset), under the
    // edit lock; loaded gets this one's and frees them when it goes.
    void ReplaceWith(TInstrument& loaded) { TakeAll(loaded); }
    // Puts a sample read elsewhere after the existing ones and makes it current; false, with
    // the sample dropped, when 16 samples are held.
    bool AdoptSample(std::unique_ptr<TSample> sample);
    // False (after a message) when the file could not be written.
    bool SaveXi(const std::string& fileName);
    void UnpackParams();
    void PackParams();

    // The key map and the vibrato live in XiBlock, where tracker playback reads them; the
    // setters take the edit lock.
    KeyMap Keys() const;
    void SetKeys(const KeyMap& keys);
    // Notes whose key map entry names a sample the instrument lacks: they play nothing.
    std::int32_t SilentKeyCount() const;
    Vibrato AutoVibrato() const;
    void SetAutoVibrato(const Vibrato& vibrato);

    std::recursive_mutex& EditLock() const { return editLock_; }

    // Playback rendering (InstrumentRender.cpp): the arithmetic of one voice. The caller holds
    // EditLock(). status is a voice status (VoiceFree, VoiceReleased,
    // VoiceHeld); rendering sets it to VoiceFree when the voice has ended.
    //
    // Adds n frames of one voice to mixLeft and mixRight (each at least n long): sinceOn and
    // sinceOff are the output frames from the voice's start and release to the first frame.
    void RenderBlock(std::int64_t sinceOn, std::int64_t sinceOff, float volume, double pitchRatio,
                     std::int16_t& status, std::int32_t n, std::span<float> mixLeft,
                     std::span<float> mixRight) const;
    // One frame of sample at position pos, on the 16-bit scale, faded when released.
    void RenderFrame(const TSample& sample, float pos, std::int64_t sinceOff, bool noWrap,
                     std::int16_t& status, float& left, float& right) const;
    // Folds a position past the end of the play range back into the loop, or ends the voice.
    static void WrapPosition(const TSample& sample, std::int64_t& ip, float& frac,
                             std::int16_t& status);

private:
    void ClearUnlocked();
    void AddSampleUnlocked();
    // Reads an XI file into this instrument, which nobody else sees yet; false when the
    // load failed.
    bool ReadXi(const std::string& fileName);
    // Swap this instrument's samples, or all its fields, with those of loaded, under the
    // edit lock; loaded then holds the old ones and frees them when it goes.
    void TakeSamples(TInstrument& loaded);
    void TakeAll(TInstrument& loaded);

    mutable std::recursive_mutex editLock_;
};

using InstrumentEditGuard = std::lock_guard<std::recursive_mutex>;

} // namespace sonlet
