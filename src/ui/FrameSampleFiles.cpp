// The sample list's Open and Save buttons: an audio file in as a new sample, the current
// sample out as a WAV file.
#include "edit/ParamCommands.h"
#include "edit/SampleCommands.h"
#include "model/AudioImport.h"
#include "model/BankImport.h"
#include "model/Instrument.h"
#include "model/WavWriter.h"
#include "support/Report.h"
#include "ui/BankDialog.h"
#include "ui/Frame.h"

#include <algorithm>

namespace sonlet {

void TfrSonlet::tbSampleOpenClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    if (inst->IsFull()) {
        ShowStatusMessage("An instrument holds at most 16 samples.");
        return;
    }
    if (!SampleOpenDialog.Execute(window())) {
        return;
    }
    // Messages about the file come once the list shows what was added.
    const HeldMessages heldUntilShown;
    // Read into an instrument of its own, the samples go in as one step.
    TInstrument read;
    read.Clear();
    const std::string path = ToPath(SampleOpenDialog.FileName);
    const AddedSamples added = IsBankFileName(path)
                                   ? AddedSamples{AddBankSamples(window(), read, path), 0}
                                   : AddSamplesFromFile(read, path);
    const std::int32_t room = MaxSamples - inst->SampleCount;
    std::vector<std::unique_ptr<TEditCommand>> inserts;
    for (std::int32_t i = 0; i < std::min(added.added, room); ++i) {
        inserts.push_back(std::make_unique<TInsertSampleCommand>(
            "Import Sample", std::move(read.Samples[static_cast<std::size_t>(i)])));
    }
    if (added.leftOut > 0 || added.added > room) {
        ShowStatusMessage("An instrument holds at most 16 samples.");
    }
    if (!inserts.empty()) {
        Perform(std::make_unique<TCompositeCommand>("Import Sample", std::move(inserts)));
    }
}

void TfrSonlet::tbSampleSaveClick() {
    TSample* sample = Sample();
    if (sample == nullptr || !SampleSaveDialog.Execute(window())) {
        return;
    }
    // The WAV file carries the rate the sample's tuning plays at C-5, so an untuned sample
    // is 44100 Hz and an imported one gets its own rate back.
    SaveSampleAsWav(*sample, ToPath(SampleSaveDialog.FileName), RateOfTuning(*sample));
}

} // namespace sonlet
