#pragma once

#include "model/SampleBlocks.h"
#include "model/WaveSummary.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sonlet {

class FileHandle;

// The format of a sample's data, with the fields and widths of a PCM WAVEFORMATEX record.
struct WaveFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

inline constexpr std::size_t XiSampleHeaderSize = 40;

// The warning of a reader whose file ended before the data it declares.
inline constexpr std::string_view FileEndsEarlyText =
    "The file ends early: some samples are incomplete";
inline constexpr std::size_t MaxSampleNameLength = 22;

// Conversions between stored values and the common signed 16-bit scale. 8-bit data is
// stored as in a WAV file, unsigned with 128 as silence; storing truncates toward zero and
// wraps, it never clamps.
inline std::int32_t ValueOf8(std::uint8_t stored) {
    return (static_cast<std::int32_t>(stored) - 128) * 256;
}
inline std::uint8_t Stored8(std::int32_t value) {
    return static_cast<std::uint8_t>(value / 256 + 128);
}
inline std::int16_t Stored16(std::int32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

enum LoopKind : std::uint8_t { LoopNone = 0, LoopForward = 1, LoopPingpong = 2 };

// The codes ApplyFunction takes: the Function menu's items that change values in place and
// need no parameters. Echo and Volume take theirs elsewhere and change nothing here.
enum SampleFunction : std::int32_t {
    FunctionNoise = 0,
    FunctionSilence = 1,
    FunctionTone = 2,
    FunctionInvert = 3,
    FunctionReverse = 4,
    FunctionNormalize = 5,
    FunctionEcho = 6,
    FunctionFadeIn = 7,
    FunctionFadeOut = 8,
    FunctionSwapChannels = 9,
    FunctionVolume = 10,
    FunctionFlipByZero = 11,
    // The conversion between signed and unsigned data: the top bit of every value flipped.
    FunctionSignFlip = 12,
    FunctionCopyLeftToRight = 13,
    FunctionCopyRightToLeft = 14,
    FunctionRemoveDc = 15,
};

// The relative note and finetune bytes of a sample's XI header.
struct XiTuning {
    std::uint8_t RelativeNote = 0;
    std::int8_t Finetune = 0;
};

// One sample of an instrument: values in blocks (8-bit unsigned with 128 as silence, or
// signed 16-bit), channels interleaved, and the per-sample parameters of an XI file.
//
// Thread use: only the GUI thread changes a sample, and only while it holds the owning
// instrument's edit lock; the player reads it while holding that lock.
class TSample {
public:
    TSample();

    SampleBlocks<std::uint8_t> Data8;
    SampleBlocks<std::int16_t> Data16;
    std::int64_t MarkA = 0;
    std::int64_t MarkB = 0;
    std::int64_t LoopLength = 0;
    std::int64_t LoopStart = 0;
    std::uint8_t LoopType = 0;
    std::int64_t DataSize = 0;
    std::int32_t BytesPerSample = 0;
    std::uint8_t Volume = 0;
    std::int8_t Panning = 0;
    std::int8_t Transpose = 0;
    // In 1/128 semitone, offset by the depth as the XI file stores it (see SavedTuning); wider
    // than the file's byte so that every byte a file holds reads back as its own value.
    std::int16_t Finetune = 0;
    std::string SampleName;
    std::int64_t NumSamples = 0;
    std::int64_t NumFrames = 0;
    WaveFormat Format;
    std::array<std::uint8_t, XiSampleHeaderSize> XiHeader{};
    std::int64_t SelStart = 0;
    std::int64_t SelEnd = 0;
    std::int64_t LoopStartPos = 0;
    std::int64_t LoopEndPos = 0;
    std::int64_t PlayStart = 0;
    std::int64_t LoopRestart = 0;
    std::int64_t PlayEnd = 0;

    // Sets the format record and, when size >= 0, the sizes and the block count.
    void SetFormat(std::int64_t channels, std::int64_t bytes, std::int64_t rate, std::int64_t size);
    void ResetParams();
    // Names the sample, cut to 22 bytes, in SampleName and in the header the XI writer writes.
    void SetName(std::string_view name);
    // An empty 16-bit stereo sample at 44100 Hz.
    void MakeEmpty();
    // 4096 frames of 16-bit stereo silence at 44100 Hz.
    void MakeSilent();

    // The value at index on the common signed 16-bit scale; 0 outside the sample.
    std::int32_t GetValue(std::int64_t index) const {
        if (index < 0 || index >= NumSamples) {
            return 0;
        }
        if (BytesPerSample == 1) {
            return ValueOf8(Data8.Data()[index]);
        }
        return Data16.Data()[index];
    }
    // Stores value (wrapping, never clamping) at index; ignored outside the sample.
    void SetValue(std::int32_t value, std::int64_t index) {
        if (index < 0 || index >= NumSamples) {
            return;
        }
        if (BytesPerSample == 1) {
            Data8.Data()[index] = Stored8(value);
        } else {
            Data16.Data()[index] = Stored16(value);
        }
    }
    void SwapValues(std::int64_t i, std::int64_t j);
    // Every change of stored values after a load ends with this call, so that what is kept
    // beside the values follows them: the frames first..end-1 changed or, when the length
    // changed, every frame from first to the new end.
    // Frames are clamped to the sample; any range is safe and costs about its own length.
    void ValuesChanged(std::int64_t first, std::int64_t end);
    // The peaks kept beside the values (see TWaveSummary); painting reads them.
    const TWaveSummary& Summary() const { return summary_; }
    PeakRange Peaks(std::int32_t channel, std::int64_t first, std::int64_t end) const {
        return summary_.Range(*this, channel, first, end);
    }
    // Rebuilds the summary when the values were replaced without ValuesChanged (a sample
    // filled by hand); nothing when it already describes the sample.
    void EnsureSummary() {
        if (!summary_.Matches(*this)) {
            summary_.Update(*this, 0, NumFrames);
        }
    }
    // The value at index blended toward the same channel of the next frame by x (0..1).
    std::int32_t GetInterpolated(float x, std::int64_t index) const {
        const std::int64_t channels = Format.nChannels;
        const std::int64_t next =
            (index + channels <= NumSamples - channels) ? index + channels : index;
        const double a = GetValue(index);
        const double b = static_cast<std::int16_t>(GetValue(next));
        return static_cast<std::int32_t>(a * (1.0 - x) + b * x);
    }

    void SetLoopStart(std::int64_t frame);
    void SetLoopLength(std::int64_t frames);
    void SetLoopType(std::uint8_t type);
    void SetMarkA(std::int64_t frame);
    void SetMarkB(std::int64_t frame);
    void ClearMarks();
    // Recomputes the selection, loop and play ranges from the marks and the loop.
    void UpdateRanges();

    // The ten-line format dump that ShowInfo displays.
    std::string InfoText() const;
    void ShowInfo() const;

    // Reads a RIFF WAVE file into this sample; false when it gave no sample. Failures are
    // reported to the user, and so is data cut by the end of the file (a warning: the
    // sample keeps what the file holds).
    bool LoadFromWav(const std::string& fileName);

    // XI sample header and delta-coded data at the file's current position.
    // ReadXiHeader takes the parameters and keeps the 40 bytes in XiHeader; false (after a
    // message) when the file ends inside the header. The sample stays empty until
    // ReadXiData, which consumes the data run the header declares and keeps the values, cut
    // to what the file holds; it returns false when the file ended inside the run.
    bool ReadXiHeader(FileHandle& file);
    bool ReadXiData(FileHandle& file);
    // Both return false when a write fell short.
    bool WriteXiHeader(FileHandle& file);
    bool WriteXiData(FileHandle& file) const;

    // The first and last value Finetune may take, so that its XI byte stays in -128..127.
    std::int32_t FinetuneMin() const;
    std::int32_t FinetuneMax() const;

    // Runs one of the Function menu's operations (SampleFunction) over the selection.
    // (SampleFunctions.h has the same over any range of frames.)
    void ApplyFunction(std::int32_t code);

private:
    TWaveSummary summary_;
};

// The tuning as the XI writer stores it: a finetune beyond its byte carries whole semitones
// into the relative note, so the saved sample plays at the pitch it shows.
XiTuning SavedTuning(const TSample& sample);

} // namespace sonlet
