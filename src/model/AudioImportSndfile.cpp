#include "model/AudioImport.h"
#include "model/SamplerChunk.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <sndfile.h>
#include <string_view>
#include <vector>

// Audio files of every kind, through libsndfile.

namespace sonlet {

namespace {

constexpr std::int64_t FramesPerRead = 8192;
// The XI file keeps a sample's length in bytes in 32 bits.
constexpr std::int64_t MaxSampleBytes = std::numeric_limits<std::int32_t>::max();
// How far a compressed file is trusted ahead of what it has delivered: its declared length,
// but at most this many frames per byte of file (lossless audio compresses far less).
constexpr std::int64_t MaxFramesPerCompressedByte = 64;

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFile = std::unique_ptr<SNDFILE, SndFileCloser>;

enum class SourceDepth { Eight, Sixteen, Deeper };

SourceDepth DepthOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
        return SourceDepth::Eight;
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_12:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ALAC_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_GSM610:
    case SF_FORMAT_G721_32:
        return SourceDepth::Sixteen;
    default:
        return SourceDepth::Deeper;
    }
}

bool IsUncompressed(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        return true;
    default:
        return false;
    }
}

// A small fixed-seed generator, so the same file always imports to the same values.
class Dither {
public:
    explicit Dither(bool on) : on_(on) {}
    // Triangular noise of one step's width either side, or 0 when dither is off.
    double Next() { return on_ ? Uniform() - Uniform() : 0.0; }

private:
    double Uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) * 0x1.0p-53;
    }
    bool on_;
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

// value x 32767 (plus the dither) rounded half away from zero and clipped; the cast rounds
// faster than std::round and gives the same for every value a file can hold.
std::int16_t ToSixteenBit(double value, Dither& dither) {
    const double scaled = std::clamp(value * 32767.0 + dither.Next(), -32768.0, 32767.0);
    return static_cast<std::int16_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
}

// libsndfile shortens a file whose data ends before its header says, and notes it in its log:
// "data : DECLARED (should be HELD)". A declared size below the one expected (an RF64 file's
// placeholder, say) is no early end, nor is the size a streaming recorder leaves unset, which
// means: the data up to the end of the file.
bool LogSaysDataWasCut(SNDFILE* file) {
    std::array<char, 4096> log{};
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    std::string_view text(log.data());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t colon = line.find(':');
        const std::size_t should = line.find("(should be ");
        if (!(line.starts_with("data") || line.starts_with("SSND")) ||
            colon == std::string_view::npos || should == std::string_view::npos) {
            continue;
        }
        const std::string declared(line.substr(colon + 1, should - colon - 1));
        const std::string held(line.substr(should + 11));
        const unsigned long long size = std::strtoull(declared.c_str(), nullptr, 0);
        if (size != 0xFFFFFFFFULL && size > std::strtoull(held.c_str(), nullptr, 0)) {
            return true;
        }
    }
    return false;
}

// Reads the whole file into sample's blocks, growing them only as data arrives beyond what the
// file can be trusted to hold. Returns the frames read.
template <typename T, typename Convert>
std::int64_t ReadFrames(SNDFILE* file, const SF_INFO& info, std::int64_t reserveFrames,
                        std::int64_t maxFrames, std::int64_t channelsKept, SampleBlocks<T>& blocks,
                        Convert convert) {
    using Source = typename Convert::Source;
    const std::int64_t sourceChannels = info.channels;
    std::vector<Source> buffer(static_cast<std::size_t>(FramesPerRead * sourceChannels));
    auto blocksFor = [&](std::int64_t frames) { return frames * channelsKept / BlockSize + 1; };
    blocks.Resize(blocksFor(reserveFrames));
    std::int64_t frames = 0;
    while (frames < maxFrames) {
        const std::int64_t want = std::min(FramesPerRead, maxFrames - frames);
        const sf_count_t got = convert.Read(file, buffer.data(), want);
        if (got <= 0) {
            break;
        }
        const std::int64_t needed = blocksFor(frames + got);
        if (needed > blocks.BlockCount()) {
            blocks.Resize(std::max(needed, blocks.BlockCount() + blocks.BlockCount() / 2));
        }
        T* out = blocks.Data() + frames * channelsKept;
        for (std::int64_t f = 0; f < got; ++f) {
            for (std::int64_t c = 0; c < channelsKept; ++c) {
                out[f * channelsKept + c] =
                    convert(buffer[static_cast<std::size_t>(f * sourceChannels + c)]);
            }
        }
        frames += got;
    }
    // A sample holds exactly the blocks its values need; new blocks come zeroed.
    blocks.Resize(blocksFor(frames));
    return frames;
}

struct FromShortsTo16 {
    using Source = short;
    sf_count_t Read(SNDFILE* f, short* to, sf_count_t n) { return sf_readf_short(f, to, n); }
    std::int16_t operator()(short v) const { return v; }
};
struct FromShortsTo8 {
    using Source = short;
    sf_count_t Read(SNDFILE* f, short* to, sf_count_t n) { return sf_readf_short(f, to, n); }
    std::uint8_t operator()(short v) const { return Stored8(v); }
};
struct FromDoublesTo16 {
    using Source = double;
    Dither* dither;
    sf_count_t Read(SNDFILE* f, double* to, sf_count_t n) { return sf_readf_double(f, to, n); }
    std::int16_t operator()(double v) const { return ToSixteenBit(v, *dither); }
};

// The first loop libsndfile found in the file (a WAV file's sampler chunk, an AIFF file's
// instrument chunk), with its end made inclusive again.
std::optional<SmplLoop> FileLoop(SNDFILE* file) {
    SF_INSTRUMENT instrument{};
    if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) != SF_TRUE ||
        instrument.loop_count < 1) {
        return std::nullopt;
    }
    const auto& loop = instrument.loops[0];
    std::uint32_t type = 0;
    switch (loop.mode) {
    case SF_LOOP_FORWARD:
        type = SmplLoopForward;
        break;
    case SF_LOOP_ALTERNATING:
        type = SmplLoopAlternating;
        break;
    case SF_LOOP_BACKWARD:
        type = SmplLoopBackward;
        break;
    default:
        return std::nullopt;
    }
    return SmplLoop{type, loop.start, std::int64_t{loop.end} - 1};
}

} // namespace

std::unique_ptr<TSample> ImportAudioFile(const std::string& fileName,
                                         const AudioImportOptions& options) {
    FileHandle handle = OpenForRead(fileName);
    if (!handle.IsValid()) {
        ShowError("File not found", MessageIcon::Warning);
        return nullptr;
    }
    const std::int64_t fileSize = handle.Size();
    handle.Close();

    SF_INFO info{};
    SndFile file(sf_open(fileName.c_str(), SFM_READ, &info));
    if (!file) {
        ShowError("Format not supported: " + std::string(sf_strerror(nullptr)),
                  MessageIcon::Warning);
        return nullptr;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        ShowError("Format not supported", MessageIcon::Warning);
        return nullptr;
    }

    const SourceDepth depth = DepthOf(info.format);
    const std::int64_t channels = std::min(info.channels, 2);
    const std::int64_t bytes = depth == SourceDepth::Eight ? 1 : 2;
    const std::int64_t declared = info.frames > 0 ? info.frames : 0;
    const std::int64_t maxFrames = MaxSampleBytes / (channels * bytes);
    // Uncompressed data cannot hold more frames than the file has bytes for.
    const std::int64_t plausible = IsUncompressed(info.format)
                                       ? fileSize / std::max<std::int64_t>(1, info.channels)
                                       : fileSize * MaxFramesPerCompressedByte;
    const std::int64_t reserve = std::min({declared, plausible, maxFrames});

    auto sample = std::make_unique<TSample>();
    std::int64_t frames = 0;
    try {
        sample->SetFormat(channels, bytes, info.samplerate, -1);
        if (depth == SourceDepth::Eight) {
            frames = ReadFrames(file.get(), info, reserve, maxFrames, channels, sample->Data8,
                                FromShortsTo8{});
        } else if (depth == SourceDepth::Sixteen) {
            frames = ReadFrames(file.get(), info, reserve, maxFrames, channels, sample->Data16,
                                FromShortsTo16{});
        } else {
            Dither dither(options.dither);
            frames = ReadFrames(file.get(), info, reserve, maxFrames, channels, sample->Data16,
                                FromDoublesTo16{&dither});
        }
    } catch (const std::bad_alloc&) {
        ShowError("Not enough memory to import " + fileName, MessageIcon::Warning);
        return nullptr;
    }
    if (frames == 0) {
        ShowError(NoSampleDataText, MessageIcon::Warning);
        return nullptr;
    }
    sample->NumSamples = frames * channels;
    sample->NumFrames = frames;
    sample->ValuesChanged(0, frames);
    sample->DataSize = sample->NumSamples * bytes;
    FinishImportedSample(*sample, fileName, info.samplerate);
    if (const std::optional<SmplLoop> loop = FileLoop(file.get())) {
        TakeFileLoop(*sample, *loop);
    }

    if (info.channels > 2) {
        ShowWarning("The file has " + std::to_string(info.channels) +
                    " channels: only the first two were imported.");
    }
    if (frames >= maxFrames && declared > frames) {
        ShowWarning("The file is too long for an XI sample: only its first " +
                    std::to_string(frames) + " frames were imported.");
    } else if ((declared > frames) || LogSaysDataWasCut(file.get())) {
        ShowWarning(FileEndsEarlyText);
    }
    return sample;
}

} // namespace sonlet
