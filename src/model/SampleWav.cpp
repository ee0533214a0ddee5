#include "model/Sample.h"
#include "model/SamplerChunk.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

namespace sonlet {

namespace {

struct UnsupportedFormat {};

// What a streaming recorder leaves in the data size when it never comes back to fill it in.
constexpr std::uint32_t StreamedDataSize = 0xFFFFFFFF;

// Every chunk identifier is four printable ASCII characters.
bool IsChunkId(std::span<const char, 4> id) {
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool IdAt(FileHandle& file, std::int64_t at) {
    std::array<char, 4> id{};
    return file.Seek(at) && ReadExact(file, std::as_writable_bytes(std::span(id))) && IsChunkId(id);
}

// How many odd-sized chunks a walk tries both after their pad byte and without it.
constexpr int PadRetries = 8;

// Walks the chunks from at to the size field of the chunk named wanted. A size that points
// backwards or past the end of the file ends the walk, so crafted files can neither loop nor
// send the reader outside the file. RIFF pads an odd-sized body with one byte, but some
// writers leave the pad out: when an identifier stands after the pad the walk goes on from
// there, and when that leads to no chunk named wanted, from the unpadded position.
bool WalkChunks(FileHandle& file, std::int64_t at, std::string_view wanted, int& retries) {
    const std::int64_t fileSize = file.Size();
    for (;;) {
        char id[4];
        if (!file.Seek(at) || !ReadExact(file, std::as_writable_bytes(std::span(id)))) {
            return false;
        }
        if (std::string_view(id, 4) == wanted) {
            return true;
        }
        std::uint8_t sizeBytes[4];
        if (!ReadExact(file, std::as_writable_bytes(std::span(sizeBytes)))) {
            return false;
        }
        const auto size = static_cast<std::int32_t>(LoadLE32(sizeBytes));
        const std::int64_t end = at + 8 + size;
        if (size < 0 || end > fileSize) {
            return false;
        }
        if (size % 2 == 0 || !IdAt(file, end + 1)) {
            at = end;
        } else if (retries > 0) {
            --retries;
            if (WalkChunks(file, end + 1, wanted, retries)) {
                return true;
            }
            at = end;
        } else {
            at = end + 1;
        }
    }
}

bool FindChunk(FileHandle& file, std::int64_t from, std::string_view wanted) {
    int retries = PadRetries;
    return WalkChunks(file, from, wanted, retries);
}

// A WAVE_FORMAT_EXTENSIBLE record holds PCM when its sub-format is this GUID.
constexpr std::array<std::uint8_t, 16> PcmSubFormat{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint16_t TagPcm = 1;
constexpr std::uint16_t TagExtensible = 0xFFFE;
constexpr std::int32_t ExtensibleSize = 40;
constexpr std::int64_t SubFormatOffset = 24;

// Only PCM data are read as they stand: A-law or float bytes read as integers are noise.
bool HoldsPcm(FileHandle& file, const WaveFormat& format, std::int64_t formatBody,
              std::int32_t formatSize) {
    if (format.wFormatTag == TagPcm) {
        return true;
    }
    if (format.wFormatTag != TagExtensible || formatSize < ExtensibleSize) {
        return false;
    }
    std::array<std::uint8_t, 16> guid{};
    return file.Seek(formatBody + SubFormatOffset) &&
           ReadExact(file, std::as_writable_bytes(std::span(guid))) && guid == PcmSubFormat;
}

// The first loop of the file's sampler chunk, wherever it stands among the chunks.
std::optional<SmplLoop> ReadSmplLoop(FileHandle& file) {
    if (!FindChunk(file, 12, "smpl")) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 4> sizeBytes{};
    std::array<std::uint8_t, SmplHeaderSize + SmplLoopSize> body{};
    if (!ReadExact(file, std::as_writable_bytes(std::span(sizeBytes)))) {
        return std::nullopt;
    }
    const std::size_t size = std::min<std::size_t>(LoadLE32(sizeBytes.data()), body.size());
    const std::size_t got = file.Read(std::as_writable_bytes(std::span(body)).first(size));
    return FirstSmplLoop(std::span(body).first(got));
}

// Leaves the file at the size field of the format chunk. The chunk usually follows "WAVE"
// at once, and then the bytes before "WAVE" are not examined; recorders that put "bext" or
// "JUNK" first are read by walking the chunks.
bool FindFormatChunk(FileHandle& file) {
    char ident[7] = {};
    if (!file.Seek(8) || !ReadExact(file, std::as_writable_bytes(std::span(ident)))) {
        return false;
    }
    if (std::string_view(ident, 7) == "WAVEfmt") {
        return file.Skip(1);
    }
    return std::string_view(ident, 4) == "WAVE" && FindChunk(file, 12, "fmt ");
}

template <typename T>
std::int64_t ReadValues(FileHandle& file, SampleBlocks<T>& blocks, std::int64_t count) {
    auto values = blocks.Values();
    const std::size_t want = static_cast<std::size_t>(count) * sizeof(T);
    const std::size_t got = file.Read(std::as_writable_bytes(values).first(want));
    const std::int64_t whole = static_cast<std::int64_t>(got / sizeof(T));
    // Slots past the values read stay silent, as zero-filled blocks would be.
    std::memset(static_cast<void*>(values.data() + whole), 0,
                (values.size() - static_cast<std::size_t>(whole)) * sizeof(T));
    if constexpr (sizeof(T) == 2 && std::endian::native == std::endian::big) {
        for (std::int64_t i = 0; i < whole; ++i) {
            auto& v = values[static_cast<std::size_t>(i)];
            const auto u = static_cast<std::uint16_t>(v);
            v = static_cast<T>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
        }
    }
    return whole;
}

} // namespace

bool TSample::LoadFromWav(const std::string& fileName) {
    SetMarkA(-1);
    SetMarkB(-1);

    FileHandle file = OpenForRead(fileName);
    if (!file.IsValid()) {
        ShowError("File not found", MessageIcon::Warning);
        return false;
    }

    try {
        if (!FindFormatChunk(file)) {
            ShowError("Not a wave file", MessageIcon::Information);
            return false;
        }

        const std::int64_t formatStart = file.Position() - 4;
        const auto formatSize = static_cast<std::int32_t>(ReadDWord(file));
        const std::int64_t formatBody = file.Position();
        std::uint8_t fields[16] = {};
        file.Read(std::as_writable_bytes(std::span(fields)));
        Format.wFormatTag = LoadLE16(fields + 0);
        Format.nChannels = LoadLE16(fields + 2);
        Format.nSamplesPerSec = LoadLE32(fields + 4);
        Format.nAvgBytesPerSec = LoadLE32(fields + 8);
        Format.nBlockAlign = LoadLE16(fields + 12);
        Format.wBitsPerSample = LoadLE16(fields + 14);
        Format.cbSize = 0;

        const bool pcm = HoldsPcm(file, Format, formatBody, formatSize);
        const bool found = formatSize >= 0 && formatBody + formatSize <= file.Size() &&
                           FindChunk(file, formatStart, "data");
        if (!found || !pcm || (Format.wBitsPerSample != 8 && Format.wBitsPerSample != 16) ||
            Format.nBlockAlign > 4) {
            MakeEmpty();
            ShowError("Format not supported", MessageIcon::Warning);
            return false;
        }
        if (Format.nChannels == 0) {
            throw UnsupportedFormat{};
        }

        // A streamed file's size means: the data up to the end of the file. Any other size
        // beyond the end is a file cut short, which keeps what it holds and says so.
        const std::uint32_t declared = ReadDWord(file);
        const std::int64_t available = file.Remaining();
        const bool streamed = declared == StreamedDataSize;
        const bool cut = !streamed && declared > available;
        const std::int64_t size = (streamed || cut) ? available : std::int64_t{declared};

        BytesPerSample = Format.wBitsPerSample / 8;
        const std::int64_t wanted = size / BytesPerSample;
        const std::int64_t blocks = wanted / BlockSize + 1;
        std::int64_t got = 0;
        if (BytesPerSample == 1) {
            Data16.Clear();
            Data8.ResizeForOverwrite(blocks);
            got = ReadValues(file, Data8, wanted);
        } else {
            Data8.Clear();
            Data16.ResizeForOverwrite(blocks);
            got = ReadValues(file, Data16, wanted);
        }
        // A frame cut by the end of the file is dropped: a sample holds whole frames, as its
        // XI form keeps them.
        NumFrames = got / Format.nChannels;
        NumSamples = NumFrames * Format.nChannels;
        DataSize = got < wanted ? NumSamples * BytesPerSample : size;
        // A loop of the file's sampler chunk replaces whatever loop the sample had.
        LoopType = LoopNone;
        LoopStart = -1;
        LoopLength = 0;
        UpdateRanges();
        if (const std::optional<SmplLoop> loop = ReadSmplLoop(file)) {
            TakeFileLoop(*this, *loop);
        }
        ValuesChanged(0, NumFrames);
        if (cut) {
            ShowWarning(FileEndsEarlyText);
        }
        return true;
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        ShowError("Format not supported", MessageIcon::Information);
    } catch (const UnsupportedFormat&) {
        // Leaving the format half set would pair a sample size with missing blocks.
        MakeEmpty();
        ShowError("Format not supported", MessageIcon::Information);
    }
    return false;
}

} // namespace sonlet
