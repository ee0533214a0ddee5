#include "model/Sample.h"

#include "model/XiLayout.h"
#include "support/Report.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonlet {

TSample::TSample() { ResetParams(); }

void TSample::SetFormat(std::int64_t channels, std::int64_t bytes, std::int64_t rate,
                        std::int64_t size) {
    Format.wFormatTag = 1;
    Format.nChannels = static_cast<std::uint16_t>(channels);
    Format.nSamplesPerSec = static_cast<std::uint32_t>(rate);
    Format.wBitsPerSample = static_cast<std::uint16_t>(bytes * 8);
    Format.nBlockAlign = static_cast<std::uint16_t>(channels * bytes);
    Format.nAvgBytesPerSec = static_cast<std::uint32_t>(Format.nBlockAlign) * Format.nSamplesPerSec;
    Format.cbSize = 0;
    BytesPerSample = static_cast<std::int32_t>(bytes);
    if (size < 0) {
        return;
    }
    DataSize = size;
    // A zero depth or channel count gives no values rather than a division fault.
    NumSamples = bytes > 0 ? size / bytes : 0;
    NumFrames = channels > 0 ? NumSamples / channels : 0;
    const std::int64_t blocks = NumSamples / BlockSize + 1;
    if (bytes == 1) {
        Data16.Clear();
        Data8.Resize(blocks);
    } else {
        Data8.Clear();
        Data16.Resize(blocks);
    }
}

void TSample::ResetParams() {
    Volume = 64;
    Panning = 0;
    Transpose = 0;
    Finetune = 0;
    LoopStart = -1;
    LoopLength = 0;
    LoopType = LoopNone;
    MarkA = -1;
    MarkB = -1;
    SampleName.clear();
    UpdateRanges();
}

void TSample::SetName(std::string_view name) {
    SampleName = std::string(name.substr(0, MaxSampleNameLength));
    const auto field = XiHeader.begin() + xi::SampleNameOffset;
    std::fill_n(field, MaxSampleNameLength, std::uint8_t{0});
    std::copy(SampleName.begin(), SampleName.end(), field);
}

void TSample::MakeEmpty() {
    SetFormat(2, 2, 44100, 0);
    ResetParams();
    ValuesChanged(0, 0);
}

void TSample::MakeSilent() {
    SetFormat(2, 2, 44100, 16384);
    std::memset(Data16.Data(), 0, 16384);
    ResetParams();
    ValuesChanged(0, NumFrames);
}

void TSample::SwapValues(std::int64_t i, std::int64_t j) {
    const std::int32_t a = GetValue(i);
    SetValue(GetValue(j), i);
    SetValue(a, j);
}

void TSample::SetLoopStart(std::int64_t frame) {
    LoopStart = frame;
    UpdateRanges();
}

void TSample::SetLoopLength(std::int64_t frames) {
    LoopLength = frames;
    UpdateRanges();
}

void TSample::SetLoopType(std::uint8_t type) {
    LoopType = type;
    UpdateRanges();
}

void TSample::SetMarkA(std::int64_t frame) {
    MarkA = frame;
    UpdateRanges();
}

void TSample::SetMarkB(std::int64_t frame) {
    MarkB = frame;
    UpdateRanges();
}

void TSample::ClearMarks() {
    MarkA = -1;
    MarkB = -1;
    UpdateRanges();
}

void TSample::UpdateRanges() {
    if (MarkA < MarkB) {
        SelStart = MarkA;
        SelEnd = MarkB;
    } else {
        SelStart = MarkB;
        SelEnd = MarkA;
    }
    if (SelStart < 0) {
        SelStart = 0;
    }
    if (SelEnd < 0) {
        SelEnd = NumFrames - 1;
    }
    const bool looped = LoopType != LoopNone;
    LoopStartPos = looped ? LoopStart : -1;
    LoopEndPos = looped ? LoopStart + LoopLength - 1 : -1;
    PlayStart = 0;
    PlayEnd = (LoopLength >= 0 && looped) ? LoopStart + LoopLength - 1 : NumFrames - 1;
    LoopRestart = (LoopStart >= 0 && looped) ? LoopStart : 0;
}

std::string TSample::InfoText() const {
    const std::pair<const char*, std::int64_t> lines[] = {
        {"DataSize:        ", DataSize},
        {"NumSamples:      ", NumSamples},
        {"NumFrames:       ", NumFrames},
        {"wFormatTag:      ", Format.wFormatTag},
        {"nChannels:       ", Format.nChannels},
        {"nSamplesPerSec:  ", Format.nSamplesPerSec},
        {"nAvgBytesPerSec: ", Format.nAvgBytesPerSec},
        {"nBlockAlign:     ", Format.nBlockAlign},
        {"wBitsPerSample:  ", Format.wBitsPerSample},
        {"cbSize:          ", Format.cbSize},
    };
    std::string text;
    for (const auto& [label, value] : lines) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += label + std::to_string(value);
    }
    return text;
}

void TSample::ShowInfo() const { ShowMessage(InfoText()); }

void TSample::ValuesChanged(std::int64_t first, std::int64_t end) {
    summary_.Update(*this, first, end);
}

} // namespace sonlet
