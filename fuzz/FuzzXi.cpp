// Feeds arbitrary bytes to the XI reader and checks the instrument it leaves.
#include "FuzzInput.h"
#include "model/Instrument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonlet::fuzz::Silence();
    const std::string path = sonlet::fuzz::WriteInput(data, size, ".xi");
    sonlet::TInstrument inst;
    inst.LoadFromFile(path);
    if (inst.SampleCount < 0 || inst.SampleCount > sonlet::MaxSamples) {
        std::abort();
    }
    std::int64_t bytes = 0;
    for (std::int32_t i = 0; i < inst.SampleCount; ++i) {
        const sonlet::TSample& s = *inst.Samples[static_cast<std::size_t>(i)];
        bytes += s.NumSamples * s.BytesPerSample;
        // Reading every value exercises the bounds of the blocks under the sanitizers.
        for (std::int64_t k = 0; k < s.NumSamples; ++k) {
            if (s.GetInterpolated(0.25f, k) == 123456) {
                std::abort();
            }
        }
    }
    // The data of all samples together never exceeds twice the file: a stereo sample whose
    // right channel the file cuts keeps its left channel whole, the rest of the right silent.
    if (bytes > 2 * static_cast<std::int64_t>(size)) {
        std::abort();
    }
    return 0;
}
