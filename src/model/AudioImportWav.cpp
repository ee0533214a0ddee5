#include "model/AudioImport.h"
#include "support/Report.h"

// Where libsndfile is not at hand, the program's own WAV reader imports.

namespace sonlet {

std::unique_ptr<TSample> ImportAudioFile(const std::string& fileName, const AudioImportOptions&) {
    auto sample = std::make_unique<TSample>();
    if (!sample->LoadFromWav(fileName)) {
        return nullptr;
    }
    if (sample->NumFrames == 0) {
        ShowError(NoSampleDataText, MessageIcon::Warning);
        return nullptr;
    }
    FinishImportedSample(*sample, fileName, sample->Format.nSamplesPerSec);
    return sample;
}

} // namespace sonlet
