#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sonlet::testkit {

// One sample of an XI file as a test writes it: the 40 header bytes and the data run.
struct XiSampleSpec {
    std::uint32_t length = 0; // the declared length in bytes
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t type = 0;
    std::uint8_t panning = 0x80;
    std::int8_t relativeNote = 0;
    std::uint8_t reserved = 0;
    std::string name;
    std::vector<std::uint8_t> data; // the delta-coded bytes as they stand in the file

    // A 16-bit sample whose data are the deltas of values; length set to match.
    static XiSampleSpec Deltas16(const std::vector<std::int16_t>& values);
    // An 8-bit sample from signed values -128..127.
    static XiSampleSpec Deltas8(const std::vector<std::int8_t>& values);
    // A 16-bit stereo sample as OpenMPT writes it: type 0x30, the left run, then the right.
    static XiSampleSpec Stereo16(const std::vector<std::int16_t>& left,
                                 const std::vector<std::int16_t>& right);
};

// Builds XI file bytes field by field, so tests can make well-formed and broken files.
class XiBuilder {
public:
    XiBuilder();

    std::array<std::uint8_t, 230> block{};
    std::string name = "Test instrument";
    std::string trackerName = "FastTracker v2.00   ";
    std::uint16_t version = 0x0102;
    std::vector<XiSampleSpec> samples;
    // When set, written as the sample count instead of samples.size().
    int declaredCount = -1;

    std::vector<std::uint8_t> Bytes() const;
};

} // namespace sonlet::testkit
