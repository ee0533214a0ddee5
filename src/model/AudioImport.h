#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sonlet {

class TInstrument;

// How a sample's Transpose and Finetune make a tracker play it at a given rate at C-5.
struct SampleTuning {
    std::int8_t Transpose = 0;
    std::int16_t Finetune = 0;
};

// The tuning that plays a sample recorded at rate (Hz) at that rate at C-5, the note at which
// Transpose 0 plays a sample frame for frame: relative note and finetune (1/128 semitone)
// with C-4 at 8363 Hz, here as the Transpose and Finetune that the XI file stores them from
// (16- or 8-bit sample). Trackers' own WAV loaders put a file's rate at C-4 instead, an
// octave lower.
SampleTuning TuningForRate(double rate, std::int32_t bytesPerSample);
// The rate a tuning plays at C-5, relative to an untuned sample at 44100 Hz; within a tenth
// of a percent of a common recording rate it is that rate.
std::uint32_t RateOfTuning(const TSample& sample);
// The same, unrounded.
double ExactRateOfTuning(const TSample& sample);

// The refusal of a file whose data hold not one frame.
inline constexpr std::string_view NoSampleDataText = "The file holds no sample data";

struct AudioImportOptions {
    // Triangular dither whenever the depth is reduced; tests switch it off to compare values.
    bool dither = true;
};

// Reads an audio file into a new sample. With libsndfile: any file that libsndfile reads (WAV of
// every depth and float, EXTENSIBLE, RF64, W64, AIFF, FLAC, Ogg, ...) into a new sample: 16-bit, or
// 8-bit from an 8-bit source; mono or stereo (of more channels the first two, and the user is
// told); named after the file; tuned to play at its own rate at C-5. Values deeper than 16 bits are
// libsndfile's doubles x 32767, rounded and clipped. A file that ends before the data it declares
// gives what it holds and one message. Null, after a message, when the file cannot be read. A build
// without libsndfile (Windows, where it is not at hand) reads the WAV files of 8 and 16 bits that
// File > Open reads, named and tuned the same way.
std::unique_ptr<TSample> ImportAudioFile(const std::string& fileName,
                                         const AudioImportOptions& options = {});

// The last step of every import: the sample's parameters reset but for the loop the file
// gave, named after the file (no folder, no extension), tuned to play at rate at C-5, and no
// marks.
void FinishImportedSample(TSample& sample, const std::string& fileName, double rate);

struct AddedSamples {
    std::int32_t added = 0;
    // Samples the file held beyond the 16 an instrument holds.
    std::int32_t leftOut = 0;
};

// Adds a file's sound to inst as new samples after the existing ones, the last added becoming
// current: an XI file's samples through the XI reader (never libsndfile), any other file as
// one imported sample, up to 16 samples in all. The file is read before the instrument is
// locked, so playback goes on meanwhile. Nothing is added, after a message, when the file
// cannot be read.
AddedSamples AddSamplesFromFile(TInstrument& inst, const std::string& fileName,
                                const AudioImportOptions& options = {});

} // namespace sonlet
