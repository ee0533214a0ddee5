#pragma once

#include "model/Instrument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet {

// A note's name as trackers write it: "C-5", "C#5" (note 60 is C-5, note 0 C-0).
std::string NoteName(std::int32_t note);
// The note of "C-4", "C#4", "Db4" (letters in either case) or of a number "60"; none for any
// other text or a note outside the key map's 0..95.
std::optional<std::int32_t> ParseNote(std::string_view text);

// A run of neighbouring notes that play the same sample (counting from 0).
struct KeyRange {
    std::int32_t First = 0;
    std::int32_t Last = 0;
    std::uint8_t Sample = 0;
};

// The key map as runs, from the lowest note up.
std::vector<KeyRange> KeyRanges(const KeyMap& keys);
// The runs as "C-0..B-3: 1, C-4..B-7: 2", samples counted from 1 (a single note: "C-4: 2").
std::string KeyRangesText(const KeyMap& keys);
// The notes sample (from 0) plays, as "C-4..B-4, C-6"; empty when it plays none.
std::string SampleRangesText(const KeyMap& keys, std::uint8_t sample);

// Gives sample every note first..last (in either order, clamped to the key map).
void MapNotes(KeyMap& keys, std::int32_t first, std::int32_t last, std::uint8_t sample);
// Gives sample the notes from `from` up to the first note that plays another sample than
// `from` did: the rest of the run `from` stands in.
void MapRunFrom(KeyMap& keys, std::int32_t from, std::uint8_t sample);

// The key map once sample `removed` of `count` samples has gone: its keys go to the sample
// that takes its place (the new last one, when it was the last), the keys of later samples
// follow them down, and keys that named no sample stay as they were.
void KeysAfterRemoval(KeyMap& keys, std::int32_t removed, std::int32_t count);
// The key map once a sample has been put at `index` before `count` samples: the keys of the
// samples from index on follow them up.
void KeysAfterInsertion(KeyMap& keys, std::int32_t index, std::int32_t count);

} // namespace sonlet
