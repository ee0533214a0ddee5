#include "XiBuilder.h"

#include "WavBuilder.h"

namespace sonlet::testkit {

namespace {

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    }
}

} // namespace

XiSampleSpec XiSampleSpec::Deltas16(const std::vector<std::int16_t>& values) {
    XiSampleSpec s;
    s.type = 0x10;
    std::uint16_t previous = 0;
    for (std::int16_t v : values) {
        PutLE16(s.data, static_cast<std::uint16_t>(static_cast<std::uint16_t>(v) - previous));
        previous = static_cast<std::uint16_t>(v);
    }
    s.length = static_cast<std::uint32_t>(s.data.size());
    return s;
}

XiSampleSpec XiSampleSpec::Deltas8(const std::vector<std::int8_t>& values) {
    XiSampleSpec s;
    std::uint8_t previous = 0;
    for (std::int8_t v : values) {
        s.data.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(v) - previous));
        previous = static_cast<std::uint8_t>(v);
    }
    s.length = static_cast<std::uint32_t>(s.data.size());
    return s;
}

XiSampleSpec XiSampleSpec::Stereo16(const std::vector<std::int16_t>& left,
                                    const std::vector<std::int16_t>& right) {
    XiSampleSpec s = Deltas16(left);
    const XiSampleSpec r = Deltas16(right);
    s.data.insert(s.data.end(), r.data.begin(), r.data.end());
    s.length = static_cast<std::uint32_t>(s.data.size());
    s.type = 0x30;
    return s;
}

XiBuilder::XiBuilder() = default;

std::vector<std::uint8_t> XiBuilder::Bytes() const {
    std::vector<std::uint8_t> out;
    PutText(out, "Extended Instrument: ", 21);
    PutText(out, name, 22);
    out.push_back(0x1A);
    PutText(out, trackerName, 20);
    PutLE16(out, version);
    out.insert(out.end(), block.begin(), block.end());
    PutLE16(out, static_cast<std::uint16_t>(declaredCount >= 0 ? declaredCount : samples.size()));
    for (const XiSampleSpec& s : samples) {
        PutLE32(out, s.length);
        PutLE32(out, s.loopStart);
        PutLE32(out, s.loopLength);
        out.push_back(s.volume);
        out.push_back(static_cast<std::uint8_t>(s.finetune));
        out.push_back(s.type);
        out.push_back(s.panning);
        out.push_back(static_cast<std::uint8_t>(s.relativeNote));
        out.push_back(s.reserved);
        PutText(out, s.name, 22);
    }
    for (const XiSampleSpec& s : samples) {
        out.insert(out.end(), s.data.begin(), s.data.end());
    }
    return out;
}

} // namespace sonlet::testkit
