#include "model/Instrument.h"

#include "support/Text.h"

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

void TInstrument::InitNew() {
    InstrumentEditGuard guard(editLock_);
    ClearUnlocked();
    AddSampleUnlocked();
    Samples[0]->MakeSilent();
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

void TInstrument::LoadFromFile(const std::string& fileName) {
    InstrumentEditGuard guard(editLock_);
    if (GetFileExt(fileName) == "xi") {
        LoadXi(fileName);
    } else {
        LoadWav(fileName);
    }
    if (TSample* sample = CurrentSample()) {
        sample->ClearMarks();
    }
}

void TInstrument::SaveToFile(const std::string& fileName) {
    if (GetFileExt(fileName) == "xi") {
        SaveXi(fileName);
    }
}

void TInstrument::LoadWav(const std::string& fileName) {
    InstrumentEditGuard guard(editLock_);
    ClearUnlocked();
    AddSampleUnlocked();
    Samples[0]->LoadFromWav(fileName);
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

bool TInstrument::AddWavSample(const std::string& fileName) {
    InstrumentEditGuard guard(editLock_);
    if (IsFull()) {
        return false;
    }
    AddSampleUnlocked();
    TSample& sample = *Samples[static_cast<std::size_t>(CurrentIndex)];
    sample.LoadFromWav(fileName);
    sample.ClearMarks();
    return true;
}

} // namespace sonlet
