#include "model/Instrument.h"
#include "model/XiLayout.h"
#include "support/AtomicFile.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>
#include <new>

namespace sonlet {

namespace {

std::uint8_t* BlockAt(std::array<std::uint8_t, XiBlockSize>& block, std::size_t offset) {
    return block.data() + offset;
}

void UnpackPoints(const std::uint8_t* bytes, EnvelopePoints& points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].X = LoadLE16(bytes + 4 * i);
        points[i].Y = LoadLE16(bytes + 4 * i + 2);
    }
}

void PackPoints(const EnvelopePoints& points, std::uint8_t* bytes) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        StoreLE16(bytes + 4 * i, points[i].X);
        StoreLE16(bytes + 4 * i + 2, points[i].Y);
    }
}

void UnpackFlags(std::uint8_t type, EnvelopeParams& env) {
    env.Enabled = (type & xi::EnvelopeOn) ? 1 : 0;
    env.SustainOn = (type & xi::EnvelopeSustain) ? 1 : 0;
    env.LoopOn = (type & xi::EnvelopeLoop) ? 1 : 0;
}

std::uint8_t PackFlags(const EnvelopeParams& env) {
    return static_cast<std::uint8_t>(env.Enabled + 2 * env.SustainOn + 4 * env.LoopOn);
}

} // namespace

void TInstrument::UnpackParams() {
    InstrumentEditGuard guard(editLock_);
    const auto& b = XiBlock;
    UnpackPoints(b.data() + xi::VolPointsOffset, VolPoints);
    UnpackPoints(b.data() + xi::PanPointsOffset, PanPoints);
    VolEnv.Count = b[xi::VolCountOffset];
    PanEnv.Count = b[xi::PanCountOffset];
    VolEnv.Sustain = b[xi::VolSustainOffset];
    VolEnv.LoopStart = b[xi::VolLoopStartOffset];
    VolEnv.LoopEnd = b[xi::VolLoopEndOffset];
    PanEnv.Sustain = b[xi::PanSustainOffset];
    PanEnv.LoopStart = b[xi::PanLoopStartOffset];
    PanEnv.LoopEnd = b[xi::PanLoopEndOffset];
    UnpackFlags(b[xi::VolTypeOffset], VolEnv);
    UnpackFlags(b[xi::PanTypeOffset], PanEnv);
    Fadeout = LoadLE16(b.data() + xi::FadeoutOffset);
    InstrumentName = XiName;
}

void TInstrument::PackParams() {
    InstrumentEditGuard guard(editLock_);
    auto& b = XiBlock;
    PackPoints(VolPoints, BlockAt(b, xi::VolPointsOffset));
    PackPoints(PanPoints, BlockAt(b, xi::PanPointsOffset));
    b[xi::VolCountOffset] = VolEnv.Count;
    b[xi::PanCountOffset] = PanEnv.Count;
    b[xi::VolSustainOffset] = VolEnv.Sustain;
    b[xi::VolLoopStartOffset] = VolEnv.LoopStart;
    b[xi::VolLoopEndOffset] = VolEnv.LoopEnd;
    b[xi::PanSustainOffset] = PanEnv.Sustain;
    b[xi::PanLoopStartOffset] = PanEnv.LoopStart;
    b[xi::PanLoopEndOffset] = PanEnv.LoopEnd;
    b[xi::VolTypeOffset] = PackFlags(VolEnv);
    b[xi::PanTypeOffset] = PackFlags(PanEnv);
    StoreLE16(BlockAt(b, xi::FadeoutOffset), Fadeout);
    XiName = InstrumentName.substr(0, xi::NameLength);
    XiSampleCount = static_cast<std::uint16_t>(SampleCount);
}

bool TInstrument::ReadXi(const std::string& fileName) {
    FileHandle file = OpenForRead(fileName);
    if (!file.IsValid()) {
        ShowError("File not found");
        return false;
    }
    try {
        // Bytes the file lacks read as zero, as every field of the header is taken as it is.
        std::array<std::uint8_t, xi::FileHeaderSize> head{};
        bool complete = file.Read(std::as_writable_bytes(std::span(head))) == head.size();
        const std::string_view signature(reinterpret_cast<const char*>(head.data()),
                                         xi::CheckedSignatureLength);
        if (signature != xi::Signature.substr(0, xi::CheckedSignatureLength)) {
            ShowError("Not a valid file");
            return false;
        }
        const auto text = [&head](std::size_t offset, std::size_t length) {
            return std::string(reinterpret_cast<const char*>(head.data() + offset), length);
        };
        XiName = text(xi::NameOffset, xi::NameLength);
        TrackerName = text(xi::TrackerNameOffset, xi::TrackerNameLength);
        XiVersion = LoadLE16(head.data() + xi::VersionOffset);
        std::copy_n(head.begin() + xi::BlockOffset, XiBlockSize, XiBlock.begin());
        XiSampleCount = LoadLE16(head.data() + xi::SampleCountOffset);

        ClearUnlocked();
        UnpackParams();

        const std::int32_t declared = XiSampleCount;
        const std::int32_t held = std::min(declared, MaxSamples);
        // Once a header comes short the file has ended, and every later header would
        // fail the same way; one message says it.
        bool headersComplete = true;
        for (std::int32_t i = 0; i < held; ++i) {
            AddSampleUnlocked();
            if (headersComplete) {
                headersComplete = Samples[static_cast<std::size_t>(i)]->ReadXiHeader(file);
            }
        }
        if (declared > held) {
            file.Skip(static_cast<std::int64_t>(declared - held) * XiSampleHeaderSize);
        }
        for (std::int32_t i = 0; i < SampleCount; ++i) {
            complete = Samples[static_cast<std::size_t>(i)]->ReadXiData(file) && complete;
        }
        if (SampleCount == 0) {
            AddSampleUnlocked();
        }
        CurrentIndex = 0;
        if (declared > held) {
            ShowWarning("Only the first 16 samples were loaded");
        }
        // A short sample header has told the user already.
        if (!complete && headersComplete) {
            ShowWarning(FileEndsEarlyText);
        }
        return true;
    } catch (const std::bad_alloc&) {
        ShowError("Format not supported");
        return false;
    }
}

// Saving reads the samples and writes only the file-side records (XiBlock, XiHeader), which
// the player never reads, so it holds the edit lock just for PackParams: playback goes on
// while a large instrument is written.
bool TInstrument::SaveXi(const std::string& fileName) {
    AtomicFileWriter writer(fileName);
    if (!writer.IsOpen()) {
        ShowError("Error opening file for write");
        return false;
    }
    PackParams();

    std::array<std::uint8_t, xi::FileHeaderSize> head{};
    std::copy(xi::Signature.begin(), xi::Signature.end(), head.begin());
    std::copy_n(XiName.begin(), std::min(XiName.size(), xi::NameLength),
                head.begin() + xi::NameOffset);
    head[xi::EndOfTextOffset] = xi::EndOfTextMark;
    std::copy(xi::WrittenTrackerName.begin(), xi::WrittenTrackerName.end(),
              head.begin() + xi::TrackerNameOffset);
    StoreLE16(head.data() + xi::VersionOffset, xi::WrittenVersion);
    std::copy(XiBlock.begin(), XiBlock.end(), head.begin() + xi::BlockOffset);
    StoreLE16(head.data() + xi::SampleCountOffset, XiSampleCount);

    FileHandle& file = writer.File();
    bool written = file.Write(std::as_bytes(std::span(head)));
    for (std::int32_t i = 0; i < SampleCount && written; ++i) {
        written = Samples[static_cast<std::size_t>(i)]->WriteXiHeader(file);
    }
    for (std::int32_t i = 0; i < SampleCount && written; ++i) {
        written = Samples[static_cast<std::size_t>(i)]->WriteXiData(file);
    }
    // A failed save leaves the file it would have replaced as it was.
    if (!written || !writer.Commit()) {
        ShowError("Error writing file");
        return false;
    }
    return true;
}

} // namespace sonlet
