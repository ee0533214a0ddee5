#include "model/Instrument.h"

#include "model/AudioImport.h"
#include "model/KeyRanges.h"
#include "model/XiLayout.h"
#include "support/Text.h"

#include <algorithm>
#include <utility>

namespace sonlet {

TInstrument::TInstrument() { Clear(); }

TInstrument::~TInstrument() = default;

void TInstrument::Clear() {
    InstrumentEditGuard guard(editLock_);
    ClearUnlocked();
}

void TInstrument::ClearUnlocked() {
    FileName.clear();
    for (std::int32_t i = SampleCount - 1; i >= 0; --i) {
        Samples[static_cast<std::size_t>(i)].reset();
    }
    SampleCount = 0;
    CurrentIndex = -1;
    Fadeout = 1024;
}

void ClampMarkers(EnvelopeParams& envelope) {
    const std::uint8_t count = std::min<std::uint8_t>(envelope.Count, EnvelopePointCount);
    const std::uint8_t last = count > 0 ? count - 1 : 0;
    for (std::uint8_t* marker : {&envelope.Sustain, &envelope.LoopStart, &envelope.LoopEnd}) {
        *marker = std::min(*marker, last);
    }
}

// Everything of the instrument goes, not only its samples: a new instrument keeps nothing of
// the previous one. The old samples are freed after the lock, with `fresh`.
void TInstrument::InitNew() {
    TInstrument fresh;
    fresh.AddSampleUnlocked();
    fresh.Samples[0]->MakeSilent();
    TakeAll(fresh);
}

void TInstrument::AddSample() {
    InstrumentEditGuard guard(editLock_);
    AddSampleUnlocked();
}

void TInstrument::AddSampleUnlocked() {
    if (SampleCount >= MaxSamples) {
        return;
    }
    Samples[static_cast<std::size_t>(SampleCount)] = std::make_unique<TSample>();
    CurrentIndex = SampleCount;
    ++SampleCount;
}

void TInstrument::DeleteSample(std::int32_t index) {
    InstrumentEditGuard guard(editLock_);
    if (SampleCount < 2) {
        return;
    }
    if (index < 0) {
        index = CurrentIndex;
    }
    if (index < 0 || index >= SampleCount) {
        return;
    }
    KeyMap keys = Keys();
    KeysAfterRemoval(keys, index, SampleCount);
    SetKeys(keys);
    std::unique_ptr<TSample> removed = std::move(Samples[static_cast<std::size_t>(index)]);
    for (std::int32_t i = index; i < SampleCount - 1; ++i) {
        Samples[static_cast<std::size_t>(i)] = std::move(Samples[static_cast<std::size_t>(i) + 1]);
    }
    if (CurrentIndex >= index && CurrentIndex > 0) {
        --CurrentIndex;
    }
    removed.reset();
    --SampleCount;
}

void TInstrument::SetCurrentSample(std::int32_t index) {
    InstrumentEditGuard guard(editLock_);
    CurrentIndex = index;
}

TSample* TInstrument::CurrentSample() const {
    if (CurrentIndex < 0 || CurrentIndex >= SampleCount) {
        return nullptr;
    }
    return Samples[static_cast<std::size_t>(CurrentIndex)].get();
}

bool TInstrument::LoadFromFile(const std::string& fileName) {
    return GetFileExt(fileName) == "xi" ? LoadXi(fileName) : LoadWav(fileName);
}

bool TInstrument::SaveToFile(const std::string& fileName) {
    return GetFileExt(fileName) == "xi" && SaveXi(fileName);
}

namespace {

// A WAV file's sample plays at the file's own rate at C-5, as an imported one does.
void TuneToItsRate(TSample& sample) {
    const SampleTuning tuning = TuningForRate(sample.Format.nSamplesPerSec, sample.BytesPerSample);
    sample.Transpose = tuning.Transpose;
    sample.Finetune = tuning.Finetune;
}

} // namespace

// Each load below declares the instrument it reads into before it takes the edit lock, so
// the samples it puts aside are freed after the lock is released.
bool TInstrument::LoadWav(const std::string& fileName) {
    TInstrument loaded;
    loaded.AddSample();
    TSample& sample = *loaded.Samples[0];
    if (!sample.LoadFromWav(fileName)) {
        return false;
    }
    TuneToItsRate(sample);
    sample.ClearMarks();
    InstrumentEditGuard guard(editLock_);
    TakeSamples(loaded);
    std::fill_n(XiBlock.begin() + xi::KeyMapOffset, xi::KeyMapLength, std::uint8_t{0});
    return true;
}

bool TInstrument::AddWavSample(const std::string& fileName) {
    if (IsFull()) {
        return false;
    }
    auto sample = std::make_unique<TSample>();
    if (!sample->LoadFromWav(fileName)) {
        return false;
    }
    TuneToItsRate(*sample);
    sample->ClearMarks();
    InstrumentEditGuard guard(editLock_);
    Samples[static_cast<std::size_t>(SampleCount)] = std::move(sample);
    CurrentIndex = SampleCount;
    ++SampleCount;
    return true;
}

bool TInstrument::LoadXi(const std::string& fileName) {
    TInstrument loaded;
    if (!loaded.ReadXi(fileName)) {
        return false;
    }
    if (TSample* sample = loaded.CurrentSample()) {
        sample->ClearMarks();
    }
    TakeAll(loaded);
    return true;
}

void TInstrument::TakeSamples(TInstrument& loaded) {
    InstrumentEditGuard guard(editLock_);
    Samples.swap(loaded.Samples);
    std::swap(SampleCount, loaded.SampleCount);
    std::swap(CurrentIndex, loaded.CurrentIndex);
    FileName.swap(loaded.FileName);
    std::swap(Fadeout, loaded.Fadeout);
}

void TInstrument::TakeAll(TInstrument& loaded) {
    InstrumentEditGuard guard(editLock_);
    TakeSamples(loaded);
    std::swap(XiBlock, loaded.XiBlock);
    TrackerName.swap(loaded.TrackerName);
    XiName.swap(loaded.XiName);
    std::swap(XiVersion, loaded.XiVersion);
    std::swap(XiSampleCount, loaded.XiSampleCount);
    std::swap(VolEnv, loaded.VolEnv);
    std::swap(PanEnv, loaded.PanEnv);
    std::swap(VolPoints, loaded.VolPoints);
    std::swap(PanPoints, loaded.PanPoints);
    InstrumentName.swap(loaded.InstrumentName);
}

KeyMap TInstrument::Keys() const {
    KeyMap keys{};
    std::copy_n(XiBlock.begin() + xi::KeyMapOffset, keys.size(), keys.begin());
    return keys;
}

void TInstrument::SetKeys(const KeyMap& keys) {
    InstrumentEditGuard guard(editLock_);
    std::copy(keys.begin(), keys.end(), XiBlock.begin() + xi::KeyMapOffset);
}

std::int32_t TInstrument::SilentKeyCount() const {
    const KeyMap keys = Keys();
    return static_cast<std::int32_t>(std::count_if(
        keys.begin(), keys.end(), [this](std::uint8_t k) { return k >= SampleCount; }));
}

Vibrato TInstrument::AutoVibrato() const {
    return {XiBlock[xi::VibratoTypeOffset], XiBlock[xi::VibratoSweepOffset],
            XiBlock[xi::VibratoDepthOffset], XiBlock[xi::VibratoRateOffset]};
}

void TInstrument::SetAutoVibrato(const Vibrato& vibrato) {
    InstrumentEditGuard guard(editLock_);
    XiBlock[xi::VibratoTypeOffset] = vibrato.Type;
    XiBlock[xi::VibratoSweepOffset] = vibrato.Sweep;
    XiBlock[xi::VibratoDepthOffset] = vibrato.Depth;
    XiBlock[xi::VibratoRateOffset] = vibrato.Rate;
}

bool TInstrument::AdoptSample(std::unique_ptr<TSample> sample) {
    InstrumentEditGuard guard(editLock_);
    if (IsFull() || !sample) {
        return false;
    }
    Samples[static_cast<std::size_t>(SampleCount)] = std::move(sample);
    CurrentIndex = SampleCount;
    ++SampleCount;
    return true;
}

} // namespace sonlet
