// Feeds arbitrary bytes to the bank import and converts every preset it lists.
#include "FuzzInput.h"
#include "model/BankImport.h"
#include "model/Instrument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonlet::fuzz::Silence();
    const std::string path = sonlet::fuzz::WriteInput(data, size, ".sf2");
    auto bank = sonlet::TSoundBank::Open(path);
    if (!bank) {
        return 0;
    }
    for (std::size_t i = 0; i < bank->Presets().size(); ++i) {
        sonlet::TInstrument inst;
        sonlet::BankConversionNotes notes;
        if (!sonlet::ConvertPreset(*bank, i, inst, notes)) {
            continue;
        }
        if (inst.SampleCount < 1 || inst.SampleCount > sonlet::MaxSamples) {
            std::abort();
        }
        for (std::size_t note = 0; note < 96; ++note) {
            if (inst.XiBlock[note] >= inst.SampleCount) {
                std::abort();
            }
        }
    }
    return 0;
}
