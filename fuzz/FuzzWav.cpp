// Feeds arbitrary bytes to the WAV importer and checks that the sample it leaves is consistent.
#include "FuzzInput.h"
#include "model/Sample.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonlet::fuzz::Silence();
    const std::string path = sonlet::fuzz::WriteInput(data, size, ".wav");
    sonlet::TSample sample;
    sample.LoadFromWav(path);
    sample.ClearMarks();
    const std::int64_t capacity =
        sample.BytesPerSample == 1 ? sample.Data8.Capacity() : sample.Data16.Capacity();
    // Every value must lie inside the blocks, and the blocks inside what the file could fill.
    if (sample.NumSamples < 0 || (sample.NumSamples > 0 && sample.NumSamples >= capacity) ||
        sample.DataSize > static_cast<std::int64_t>(size)) {
        std::abort();
    }
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
        sum += sample.GetInterpolated(0.5f, i);
    }
    return sum == 1 ? 0 : 0;
}
