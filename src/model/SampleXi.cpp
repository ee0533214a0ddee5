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
    Finetune = static_cast<std::int8_t>(ToByte(bytes[xi::FinetuneOffset] + finetuneOffset));

    // The data length stays in XiHeader; ReadXiData sizes the sample from it, cut to what
    // the file really holds, so a false length never allocates memory.
    SetFormat(1, bytesPerValue, 44100, 0);
    LoopStart = LoadLE32(&bytes[xi::LoopStartOffset]) / bytesPerValue;
    LoopLength = LoadLE32(&bytes[xi::LoopLengthOffset]) / bytesPerValue;
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
    const std::int64_t wanted = size / bytesPerValue;
    const std::int64_t blocks = wanted / BlockSize + 1;

    std::int64_t got = 0;
    if (bytesPerValue == 1) {
        Data16.Clear();
        Data8.ResizeForOverwrite(blocks);
        auto values = Data8.Values();
        got = ReadDeltaRun(file, values, wanted, delta::Decode8);
        std::fill(values.begin() + got, values.end(), std::uint8_t{0});
    } else {
        Data8.Clear();
        Data16.ResizeForOverwrite(blocks);
        auto values = Data16.Values();
        got = ReadDeltaRun(file, values, wanted, delta::Decode16);
        std::fill(values.begin() + got, values.end(), std::int16_t{0});
    }
    // The run ends where its declared length says, as other trackers read it: past the odd
    // byte a 16-bit run may end with, or, for a run cut by the end of the file, at the end,
    // so later samples find nothing and each keeps what the file holds.
    if (got * bytesPerValue != size && start >= 0) {
        file.Seek(start + size);
    }
    DataSize = got < declared / bytesPerValue ? got * bytesPerValue : declared;
    NumSamples = got;
    NumFrames = Format.nChannels > 0 ? NumSamples / Format.nChannels : 0;
    ValuesChanged(0, NumFrames);
    UpdateRanges();
    return size == declared;
}

bool TSample::WriteXiHeader(FileHandle& file) {
    // The length counts the bytes WriteXiData really writes, also for an odd DataSize.
    StoreLE32(&XiHeader[xi::LengthOffset], static_cast<std::uint32_t>(NumSamples * BytesPerSample));
    StoreLE32(&XiHeader[xi::LoopStartOffset], LoopField(LoopStart, BytesPerSample));
    StoreLE32(&XiHeader[xi::LoopLengthOffset], LoopField(LoopLength, BytesPerSample));
    XiHeader[xi::VolumeOffset] = Volume;
    const bool sixteenBit = BytesPerSample == 2;
    const int finetuneOffset = sixteenBit ? xi::FinetuneOffset16 : xi::FinetuneOffset8;
    XiHeader[xi::FinetuneOffset] = ToByte(Finetune - finetuneOffset);
    std::uint8_t type = (LoopType == LoopForward || LoopType == LoopPingpong) ? LoopType : 0;
    if (sixteenBit) {
        type |= xi::TypeSixteenBit;
    }
    XiHeader[xi::TypeOffset] = type;
    XiHeader[xi::PanningOffset] = ToByte(Panning + 128);
    XiHeader[xi::RelativeNoteOffset] = ToByte(Transpose + xi::RelativeNoteBias);
    return file.Write(std::as_bytes(std::span(XiHeader)));
}

bool TSample::WriteXiData(FileHandle& file) const {
    if (NumSamples <= 0) {
        return true;
    }
    const auto count = static_cast<std::size_t>(NumSamples);
    std::vector<std::uint8_t> buffer(std::min(ChunkBytes, count * (BytesPerSample == 2 ? 2 : 1)));
    bool ok = true;
    if (BytesPerSample == 1) {
        const auto values = Data8.Values().first(count);
        std::uint8_t previous = 0;
        for (std::size_t at = 0; at < count && ok; at += buffer.size()) {
            const auto piece = values.subspan(at, std::min(buffer.size(), count - at));
            previous = delta::Encode8(piece, std::span(buffer).first(piece.size()), previous);
            ok = file.Write(std::as_bytes(std::span(buffer).first(piece.size())));
        }
    } else {
        const auto values = Data16.Values().first(count);
        const std::size_t perChunk = buffer.size() / 2;
        std::uint16_t previous = 0;
        for (std::size_t at = 0; at < count && ok; at += perChunk) {
            const auto piece = values.subspan(at, std::min(perChunk, count - at));
            const auto out = std::span(buffer).first(piece.size() * 2);
            previous = delta::Encode16(piece, out, previous);
            ok = file.Write(std::as_bytes(out));
        }
    }
    return ok;
}

} // namespace sonlet
