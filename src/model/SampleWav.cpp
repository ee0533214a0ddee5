#include "model/Sample.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <bit>
#include <cstring>
#include <new>
#include <string_view>

namespace sonlet {

namespace {

constexpr std::int64_t FormatChunkStart = 20;

struct UnsupportedFormat {};

// Walks the chunks from the file's current position to the "data" chunk's size field.
// A size that points backwards or past the end of the file ends the walk, so crafted
// files can neither loop nor send the reader outside the file.
bool FindDataChunk(FileHandle& file) {
    const std::int64_t fileSize = file.Size();
    for (;;) {
        char id[4];
        if (!ReadExact(file, std::as_writable_bytes(std::span(id)))) {
            return false;
        }
        if (std::string_view(id, 4) == "data") {
            return true;
        }
        std::uint8_t sizeBytes[4];
        if (!ReadExact(file, std::as_writable_bytes(std::span(sizeBytes)))) {
            return false;
        }
        const auto size = static_cast<std::int32_t>(LoadLE32(sizeBytes));
        const std::int64_t next = file.Position() + size;
        if (size < 0 || next > fileSize || !file.Seek(next)) {
            return false;
        }
    }
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

void TSample::LoadFromWav(const std::string& fileName) {
    SetMarkA(-1);
    SetMarkB(-1);

    FileHandle file = OpenForRead(fileName);
    if (!file.IsValid()) {
        ShowError("File not found", MessageIcon::Warning);
        return;
    }

    try {
        char ident[7] = {};
        file.Seek(8);
        if (!ReadExact(file, std::as_writable_bytes(std::span(ident))) ||
            std::string_view(ident, 7) != "WAVEfmt") {
            ShowError("Not a wave file", MessageIcon::Information);
            return;
        }

        file.Skip(1);
        const auto formatSize = static_cast<std::int32_t>(ReadDWord(file));
        std::uint8_t fields[16] = {};
        file.Read(std::as_writable_bytes(std::span(fields)));
        Format.wFormatTag = LoadLE16(fields + 0);
        Format.nChannels = LoadLE16(fields + 2);
        Format.nSamplesPerSec = LoadLE32(fields + 4);
        Format.nAvgBytesPerSec = LoadLE32(fields + 8);
        Format.nBlockAlign = LoadLE16(fields + 12);
        Format.wBitsPerSample = LoadLE16(fields + 14);
        Format.cbSize = 0;

        const std::int64_t chunksStart = FormatChunkStart + formatSize;
        const bool found = formatSize >= 0 && chunksStart <= file.Size() &&
                           file.Seek(chunksStart) && FindDataChunk(file);
        if (!found || (Format.wBitsPerSample != 8 && Format.wBitsPerSample != 16) ||
            Format.nBlockAlign > 4) {
            MakeEmpty();
            ShowError("Format not supported", MessageIcon::Warning);
            return;
        }
        if (Format.nChannels == 0) {
            throw UnsupportedFormat{};
        }

        // A size beyond the end of the file (a cut-off recording, or a streamed file's
        // 0xFFFFFFFF) or a negative one means: the data up to the end of the file.
        std::int64_t size = static_cast<std::int32_t>(ReadDWord(file));
        const std::int64_t available = file.Remaining();
        if (size < 0 || size > available) {
            size = available;
        }

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
        DataSize = got < wanted ? got * BytesPerSample : size;
        NumSamples = got;
        NumFrames = NumSamples / Format.nChannels;
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        ShowError("Format not supported", MessageIcon::Information);
    } catch (const UnsupportedFormat&) {
        // Leaving the format half set would pair a sample size with missing blocks.
        MakeEmpty();
        ShowError("Format not supported", MessageIcon::Information);
    }
}

} // namespace sonlet
