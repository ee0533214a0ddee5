// Loads arbitrary bytes as the editor's Open does (an XI file when it starts like one, a WAV
// file otherwise), saves the instrument as XI, loads that file again, and checks that the
// second load reproduces everything an XI file keeps.
#include "FuzzInput.h"
#include "model/Instrument.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

std::int64_t SetOrZero(std::int64_t value) { return std::max<std::int64_t>(value, 0); }

void RequireSameSample(const sonlet::TSample& a, const sonlet::TSample& b) {
    Require(a.BytesPerSample == b.BytesPerSample || a.NumSamples == 0);
    Require(a.NumSamples == b.NumSamples);
    for (std::int64_t i = 0; i < a.NumSamples; ++i) {
        Require(a.GetValue(i) == b.GetValue(i));
    }
    Require(a.Volume == b.Volume);
    Require(a.Panning == b.Panning);
    Require(a.Transpose == b.Transpose);
    Require(a.Finetune == b.Finetune);
    Require(a.LoopType == b.LoopType);
    Require(SetOrZero(a.LoopStart) == b.LoopStart);
    Require(SetOrZero(a.LoopLength) == b.LoopLength);
    Require(a.SampleName == b.SampleName);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonlet::fuzz::Silence();
    constexpr char signature[] = "Extended Instrument:";
    const bool xi = size >= 20 && std::memcmp(data, signature, 20) == 0;
    const std::string in = sonlet::fuzz::WriteInput(data, size, xi ? ".xi" : ".wav");
    const std::string out = in + ".saved.xi";

    sonlet::TInstrument first;
    if (!first.LoadFromFile(in)) {
        return 0; // a failed load gives no instrument to save
    }
    first.SaveToFile(out);
    sonlet::TInstrument second;
    second.LoadFromFile(out);

    Require(first.SampleCount == second.SampleCount);
    for (std::int32_t i = 0; i < first.SampleCount; ++i) {
        RequireSameSample(*first.Samples[static_cast<std::size_t>(i)],
                          *second.Samples[static_cast<std::size_t>(i)]);
    }
    Require(first.XiBlock == second.XiBlock); // the save packed the editable fields into it
    Require(UpToZero(first.XiName) == UpToZero(second.XiName));
    Require(first.Fadeout == second.Fadeout);
    Require(second.TrackerName == "FastTracker v2.00   ");
    Require(second.XiVersion == 0x0102);
    std::remove(out.c_str());
    return 0;
}
