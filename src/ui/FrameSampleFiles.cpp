// The sample list's Open and Save buttons: an audio file in as a new sample, the current
// sample out as a WAV file.
#include "model/AudioImport.h"
#include "model/BankImport.h"
#include "model/Instrument.h"
#include "model/WavWriter.h"
#include "support/Report.h"
#include "ui/BankDialog.h"
#include "ui/Frame.h"

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
    const std::string path = ToPath(SampleOpenDialog.FileName);
    const AddedSamples added = IsBankFileName(path)
                                   ? AddedSamples{AddBankSamples(window(), *inst, path), 0}
                                   : AddSamplesFromFile(*inst, path);
    if (added.leftOut > 0) {
        ShowStatusMessage("An instrument holds at most 16 samples.");
    }
    if (added.added > 0) {
        SetStatus(StatusPositionPanel, QString());
        UpdateView(-1);
        FillSampleList();
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
