#include "model/DeltaCoding.h"
#include "model/Sample.h"
#include "model/XiLayout.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace sonlet {

namespace {

// Data move through the file in pieces of this many bytes: large enough for few system
// calls, small enough that decoding finds each piece still in the cache.
constexpr std::size_t ChunkBytes = std::size_t{1} << 18;

std::uint8_t ToByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

// A negative loop start or length means "not set"; written as 0, not as a huge number.
std::uint32_t LoopField(std::int64_t frames, std::int32_t bytesPerSample) {
    return frames < 0 ? 0 : static_cast<std::uint32_t>(frames * bytesPerSample);
}

// Reads count values of T into values and decodes them piece by piece; returns how many
// whole values arrived.
template <typename T, typename Decode>
std::int64_t ReadDeltaRun(FileHandle& file, std::span<T> values, std::int64_t count,
                          Decode decode) {
    constexpr std::size_t perChunk = ChunkBytes / sizeof(T);
    decltype(decode(values.first(0), 0)) running = 0;
    std::int64_t done = 0;
    while (done < count) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(count - done, static_cast<std::int64_t>(perChunk)));
        auto piece = values.subspan(static_cast<std::size_t>(done), want);
        const std::size_t got = file.Read(std::as_writable_bytes(piece)) / sizeof(T);
        running = decode(piece.first(got), running);
        done += static_cast<std::int64_t>(got);
        if (got < want) {
            break;
        }
    }
    return done;
}

// The same for one channel of a stereo sample, whose run fills every second slot of values
// from channel on; decoded in a piece of its own, then spread.
template <typename T, typename Decode>
std::int64_t ReadChannelRun(FileHandle& file, std::span<T> values, std::int64_t count,
                            std::size_t channel, Decode decode) {
    std::vector<T> piece(static_cast<std::size_t>(
        std::min<std::int64_t>(count, static_cast<std::int64_t>(ChunkBytes / sizeof(T)))));
    decltype(decode(std::span(piece).first(0), 0)) running = 0;
    std::int64_t done = 0;
    while (done < count) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(count - done, static_cast<std::int64_t>(piece.size())));
        const auto into = std::span(piece).first(want);
        const std::size_t got = file.Read(std::as_writable_bytes(into)) / sizeof(T);
        running = decode(into.first(got), running);
        for (std::size_t i = 0; i < got; ++i) {
            values[2 * (static_cast<std::size_t>(done) + i) + channel] = into[i];
        }
        done += static_cast<std::int64_t>(got);
        if (got < want) {
            break;
        }
    }
    return done;
}

// Writes count values of T, every stride-th of values from first on, as one delta-coded run
// from 0, piece by piece through buffer.
template <typename T, typename Encode>
bool WriteDeltaRun(FileHandle& file, std::span<const T> values, std::size_t count,
                   std::size_t first, std::size_t stride, std::vector<std::uint8_t>& buffer,
                   Encode encode) {
    const std::size_t perChunk = buffer.size() / sizeof(T);
    std::vector<T> gathered(stride == 1 ? 0 : std::min(perChunk, count));
    decltype(encode(values.first(0), std::span(buffer), 0)) previous = 0;
    for (std::size_t at = 0; at < count; at += perChunk) {
        const std::size_t n = std::min(perChunk, count - at);
        std::span<const T> piece;
        if (stride == 1) {
            piece = values.subspan(first + at, n);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                gathered[i] = values[first + (at + i) * stride];
            }
            piece = std::span<const T>(gathered).first(n);
        }
        const auto out = std::span(buffer).first(n * sizeof(T));
        previous = encode(piece, out, previous);
        if (!file.Write(std::as_bytes(out))) {
            return false;
        }
    }
    return true;
}

bool IsStereo(const TSample& sample) { return sample.Format.nChannels == 2; }

} // namespace

bool TSample::ReadXiHeader(FileHandle& file) {
    std::array<std::uint8_t, XiSampleHeaderSize> bytes{};
    if (!ReadExact(file, std::as_writable_bytes(std::span(bytes)))) {
        ShowWarning("Error reading sample header", "Error", MessageIcon::Information);
        return false;
    }
    XiHeader = bytes;
    const std::uint8_t type = bytes[xi::TypeOffset];
    const bool sixteenBit = (type & xi::TypeSixteenBitMask) != 0;
    const std::int32_t bytesPerValue = sixteenBit ? 2 : 1;
    const int finetuneOffset = sixteenBit ? xi::FinetuneOffset16 : xi::FinetuneOffset8;
    Finetune = static_cast<std::int16_t>(static_cast<std::int8_t>(bytes[xi::FinetuneOffset]) +
                                         finetuneOffset);
    const std::int32_t channels = (type & xi::TypeStereo) != 0 ? 2 : 1;
    const std::int64_t frameBytes = std::int64_t{bytesPerValue} * channels;

    // The data length stays in XiHeader; ReadXiData sizes the sample from it, cut to what
    // the file really holds, so a false length never allocates memory.
    SetFormat(channels, bytesPerValue, 44100, 0);
    LoopStart = LoadLE32(&bytes[xi::LoopStartOffset]) / frameBytes;
    LoopLength = LoadLE32(&bytes[xi::LoopLengthOffset]) / frameBytes;
    const std::uint8_t loopBits = type & xi::TypeLoopMask;
    // A loop shorter than one value (one byte of a 16-bit sample) is no loop: it would
    // play nothing, and a save would write it as length 0, which reads back as no loop.
    if (loopBits == 0 || LoopLength == 0) {
        LoopType = LoopNone;
    } else {
        LoopType = loopBits == 1 ? LoopForward : LoopPingpong;
    }
    Volume = bytes[xi::VolumeOffset];
    Panning = static_cast<std::int8_t>(ToByte(bytes[xi::PanningOffset] - 128));
    Transpose =
        static_cast<std::int8_t>(ToByte(bytes[xi::RelativeNoteOffset] - xi::RelativeNoteBias));
    const auto* name = reinterpret_cast<const char*>(&bytes[xi::SampleNameOffset]);
    SampleName.assign(name, strnlen(name, MaxSampleNameLength));
    UpdateRanges();
    return true;
}

bool TSample::ReadXiData(FileHandle& file) {
    const std::int64_t declared = LoadLE32(&XiHeader[xi::LengthOffset]);
    const std::int32_t bytesPerValue = BytesPerSample == 2 ? 2 : 1;
    const std::int64_t start = file.Position();
    const std::int64_t size = std::min(declared, file.Remaining());
    const std::int64_t held = size / bytesPerValue;
    const bool stereo = IsStereo(*this);
    // A stereo run holds the whole frames its length has room for, left channel first: a
    // file cut inside the right channel keeps the left one whole and the rest of the right
    // one silent.
    const std::int64_t frames = stereo ? declared / (2 * bytesPerValue) : 0;
    const std::int64_t wanted = stereo ? 2 * std::min(frames, held) : held;
    const std::int64_t blocks = wanted / BlockSize + 1;

    std::int64_t got = 0;
    const auto read = [&](auto& blocks8or16, auto decode) {
        auto values = blocks8or16.Values();
        using T = typename decltype(values)::value_type;
        if (!stereo) {
            got = ReadDeltaRun(file, values, wanted, decode);
        } else {
            const std::int64_t left = ReadChannelRun(file, values, wanted / 2, 0, decode);
            const std::int64_t right =
                left == frames
                    ? ReadChannelRun(file, values, std::min(held - frames, frames), 1, decode)
                    : 0;
            got = 2 * left;
            for (std::int64_t f = right; f < left; ++f) {
                values[static_cast<std::size_t>(2 * f + 1)] = T{0};
            }
        }
        std::fill(values.begin() + got, values.end(), T{0});
    };
    if (bytesPerValue == 1) {
        Data16.Clear();
        Data8.ResizeForOverwrite(blocks);
        read(Data8, delta::Decode8);
    } else {
        Data8.Clear();
        Data16.ResizeForOverwrite(blocks);
        read(Data16, delta::Decode16);
    }
    // The run ends where its declared length says, as other trackers read it: past the odd
    // byte a 16-bit run may end with, or, for a run cut by the end of the file, at the end,
    // so later samples find nothing and each keeps what the file holds.
    if (start >= 0 && file.Position() != start + size) {
        file.Seek(start + size);
    }
    if (stereo) {
        DataSize = size == declared ? declared : got * bytesPerValue;
    } else {
        DataSize = got < declared / bytesPerValue ? got * bytesPerValue : declared;
    }
    NumSamples = got;
    NumFrames = Format.nChannels > 0 ? NumSamples / Format.nChannels : 0;
    ValuesChanged(0, NumFrames);
    UpdateRanges();
    return size == declared;
}

bool TSample::WriteXiHeader(FileHandle& file) {
    // The length counts the bytes WriteXiData really writes, also for an odd DataSize; a
    // stereo sample's length and loop count the bytes of both channels.
    const std::int32_t frameBytes = BytesPerSample * (IsStereo(*this) ? 2 : 1);
    const std::int64_t written = IsStereo(*this) ? NumFrames * 2 : NumSamples;
    StoreLE32(&XiHeader[xi::LengthOffset], static_cast<std::uint32_t>(written * BytesPerSample));
    StoreLE32(&XiHeader[xi::LoopStartOffset], LoopField(LoopStart, frameBytes));
    StoreLE32(&XiHeader[xi::LoopLengthOffset], LoopField(LoopLength, frameBytes));
    XiHeader[xi::VolumeOffset] = Volume;
    const XiTuning tuning = SavedTuning(*this);
    XiHeader[xi::FinetuneOffset] = static_cast<std::uint8_t>(tuning.Finetune);
    std::uint8_t type = (LoopType == LoopForward || LoopType == LoopPingpong) ? LoopType : 0;
    if (BytesPerSample == 2) {
        type |= xi::TypeSixteenBit;
    }
    if (IsStereo(*this)) {
        type |= xi::TypeStereo;
    }
    XiHeader[xi::TypeOffset] = type;
    XiHeader[xi::PanningOffset] = ToByte(Panning + 128);
    XiHeader[xi::RelativeNoteOffset] = tuning.RelativeNote;
    return file.Write(std::as_bytes(std::span(XiHeader)));
}

bool TSample::WriteXiData(FileHandle& file) const {
    if (NumSamples <= 0) {
        return true;
    }
    const bool stereo = IsStereo(*this);
    const auto count = static_cast<std::size_t>(stereo ? NumFrames : NumSamples);
    const std::size_t runs = stereo ? 2 : 1;
    const std::size_t valueBytes = BytesPerSample == 2 ? 2 : 1;
    std::vector<std::uint8_t> buffer(
        std::max(std::min(ChunkBytes, count * valueBytes), valueBytes));
    bool ok = true;
    for (std::size_t channel = 0; channel < runs && ok; ++channel) {
        if (BytesPerSample == 1) {
            ok = WriteDeltaRun(file, Data8.Values(), count, channel, runs, buffer, delta::Encode8);
        } else {
            ok =
                WriteDeltaRun(file, Data16.Values(), count, channel, runs, buffer, delta::Encode16);
        }
    }
    return ok;
}

std::int32_t TSample::FinetuneMin() const {
    return -128 + (BytesPerSample == 2 ? xi::FinetuneOffset16 : xi::FinetuneOffset8);
}

std::int32_t TSample::FinetuneMax() const {
    return 127 + (BytesPerSample == 2 ? xi::FinetuneOffset16 : xi::FinetuneOffset8);
}

XiTuning SavedTuning(const TSample& sample) {
    const int offset = sample.BytesPerSample == 2 ? xi::FinetuneOffset16 : xi::FinetuneOffset8;
    int fine = sample.Finetune - offset;
    int relative = sample.Transpose + xi::RelativeNoteBias;
    // 128 finetune steps make a semitone in every tracker's pitch rule.
    if (fine > 127) {
        const int carry = (fine - 127 + 127) / 128;
        fine -= 128 * carry;
        relative += carry;
    } else if (fine < -128) {
        const int carry = (-128 - fine + 127) / 128;
        fine += 128 * carry;
        relative -= carry;
    }
    return {ToByte(relative), static_cast<std::int8_t>(fine)};
}

} // namespace sonlet
