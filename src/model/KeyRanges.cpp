#include "model/KeyRanges.h"

#include <algorithm>
#include <array>

namespace sonlet {

namespace {

constexpr std::array<std::string_view, 12> Names{"C-", "C#", "D-", "D#", "E-", "F-",
                                                 "F#", "G-", "G#", "A-", "A#", "B-"};
// Semitones of the letters A..G above C.
constexpr std::array<std::int32_t, 7> LetterSemitones{9, 11, 0, 2, 4, 5, 7};

std::string RangeText(const KeyRange& range) {
    std::string text = NoteName(range.First);
    if (range.Last != range.First) {
        text += ".." + NoteName(range.Last);
    }
    return text;
}

} // namespace

std::string NoteName(std::int32_t note) {
    if (note < 0) {
        return "?";
    }
    return std::string(Names[static_cast<std::size_t>(note % 12)]) + std::to_string(note / 12);
}

std::optional<std::int32_t> ParseNote(std::string_view text) {
    if (!text.empty() &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 2) {
            return std::nullopt;
        }
        const std::int32_t note = std::stoi(std::string(text));
        return note < KeyMapNotes ? std::optional(note) : std::nullopt;
    }
    if (text.size() != 3) {
        return std::nullopt;
    }
    const char letter = static_cast<char>(text[0] | 0x20);
    if (letter < 'a' || letter > 'g' || text[2] < '0' || text[2] > '9') {
        return std::nullopt;
    }
    std::int32_t note =
        LetterSemitones[static_cast<std::size_t>(letter - 'a')] + 12 * (text[2] - '0');
    if (text[1] == '#') {
        ++note;
    } else if (text[1] == 'b') {
        --note;
    } else if (text[1] != '-') {
        return std::nullopt;
    }
    return note >= 0 && note < KeyMapNotes ? std::optional(note) : std::nullopt;
}

std::vector<KeyRange> KeyRanges(const KeyMap& keys) {
    std::vector<KeyRange> ranges;
    for (std::int32_t note = 0; note < KeyMapNotes; ++note) {
        const std::uint8_t sample = keys[static_cast<std::size_t>(note)];
        if (ranges.empty() || ranges.back().Sample != sample) {
            ranges.push_back({note, note, sample});
        } else {
            ranges.back().Last = note;
        }
    }
    return ranges;
}

std::string KeyRangesText(const KeyMap& keys) {
    std::string text;
    for (const KeyRange& range : KeyRanges(keys)) {
        text +=
            (text.empty() ? "" : ", ") + RangeText(range) + ": " + std::to_string(range.Sample + 1);
    }
    return text;
}

std::string SampleRangesText(const KeyMap& keys, std::uint8_t sample) {
    std::string text;
    for (const KeyRange& range : KeyRanges(keys)) {
        if (range.Sample == sample) {
            text += (text.empty() ? "" : ", ") + RangeText(range);
        }
    }
    return text;
}

void MapNotes(KeyMap& keys, std::int32_t first, std::int32_t last, std::uint8_t sample) {
    const std::int32_t low = std::clamp(std::min(first, last), 0, KeyMapNotes - 1);
    const std::int32_t high = std::clamp(std::max(first, last), 0, KeyMapNotes - 1);
    std::fill(keys.begin() + low, keys.begin() + high + 1, sample);
}

void MapRunFrom(KeyMap& keys, std::int32_t from, std::uint8_t sample) {
    if (from < 0 || from >= KeyMapNotes) {
        return;
    }
    const std::uint8_t run = keys[static_cast<std::size_t>(from)];
    for (std::int32_t note = from;
         note < KeyMapNotes && keys[static_cast<std::size_t>(note)] == run; ++note) {
        keys[static_cast<std::size_t>(note)] = sample;
    }
}

void KeysAfterRemoval(KeyMap& keys, std::int32_t removed, std::int32_t count) {
    for (std::uint8_t& entry : keys) {
        if (entry == removed) {
            entry = static_cast<std::uint8_t>(std::min(removed, count - 2));
        } else if (entry > removed && entry < count) {
            --entry;
        }
    }
}

void KeysAfterInsertion(KeyMap& keys, std::int32_t index, std::int32_t count) {
    for (std::uint8_t& entry : keys) {
        if (entry >= index && entry < count) {
            ++entry;
        }
    }
}

} // namespace sonlet
