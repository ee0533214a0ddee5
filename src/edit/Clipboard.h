#pragma once

#include "edit/EditCommand.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sonlet {

class TSample;

// Frames taken from a sample with their format: what Copy and Cut leave for Paste.
struct TClip {
    std::int32_t BytesPerSample = 2;
    std::int32_t Channels = 2;
    std::uint32_t Rate = 44100;
    // Stored values, 8-bit unsigned or signed 16-bit, channels interleaved, whole frames.
    std::vector<std::uint8_t> Bytes;

    std::int64_t Frames() const;
    bool Empty() const { return Bytes.empty(); }
    // The value of one channel of one frame on the common signed 16-bit scale.
    std::int32_t Value(std::int64_t frame, std::int32_t channel) const;
};

// The frames of an edit: the selection, or nothing when the sample has none.
struct FrameRange {
    std::int64_t First = 0;
    std::int64_t Last = 0;
    std::int64_t Count() const { return Last - First + 1; }
};

// The selected frames of sample (both marks set), cut to its frames.
std::optional<FrameRange> SelectedFrames(const TSample& sample);
// The frames first..last of sample, in its format.
TClip CopyFrames(const TSample& sample, FrameRange range);
// clip in another depth or channel count: 8 and 16 bit by scaling, mono to stereo by
// copying, stereo to mono by averaging.
TClip ConvertClip(const TClip& clip, std::int32_t bytesPerSample, std::int32_t channels);

// The Edit menu's changes of sample sampleIndex of instrument, at its marks; none when there
// is nothing to do (no selection to delete, an empty clipboard, ...).
//
// Delete and Cut remove the selection. Paste inserts the clip at the mark when only one is
// set, puts it in place of the selection, or appends it when no mark is set; into a sample
// without values it gives the sample the clip's format and rate. Paste Mix adds the clip onto
// the frames from the mark or the selection's start, or from the first frame without marks
// (saturating at the 16-bit range) as far
// as the sample reaches. Crop keeps only the selection.
std::unique_ptr<TEditCommand> MakeDelete(const TInstrument& instrument, std::int32_t sampleIndex,
                                         std::string name = "Delete");
std::unique_ptr<TEditCommand> MakePaste(const TInstrument& instrument, std::int32_t sampleIndex,
                                        const TClip& clip);
std::unique_ptr<TEditCommand> MakePasteMix(const TInstrument& instrument, std::int32_t sampleIndex,
                                           const TClip& clip);
std::unique_ptr<TEditCommand> MakeCrop(const TInstrument& instrument, std::int32_t sampleIndex);

// The Function menu's name of a SampleFunction code ("Reverse"), for the step it makes.
std::string SampleFunctionName(std::int32_t code);

// A sample function (SampleFunction code) on the selection of sample sampleIndex, or on the
// whole sample without one, as one undoable step named name.
std::unique_ptr<TEditCommand> MakeSampleFunction(const TInstrument& instrument,
                                                 std::int32_t sampleIndex, std::int32_t code,
                                                 std::string name);

} // namespace sonlet
