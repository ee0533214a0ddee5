#include "model/BankCheck.h"

#include "support/FileIO.h"

#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace sonlet {

namespace {

constexpr std::int32_t MaxDepth = 16;
// Real banks name most instruments from one preset and some from a few (a drum kit's sounds
// from several kits); far more voices than records is a crafted bank, not music.
constexpr std::uint64_t MaxVoicesPerRecord = 16;
constexpr std::uint64_t MinVoiceAllowance = 4096;

struct Chunk {
    std::array<char, 4> id{};
    std::uint32_t size = 0;
    std::int64_t data = 0;
};

bool IdIs(const std::array<char, 4>& id, const char* text) {
    return std::memcmp(id.data(), text, 4) == 0;
}

bool ReadChunk(FileHandle& file, std::int64_t at, Chunk& chunk) {
    std::array<std::uint8_t, 8> head{};
    if (!file.Seek(at) || !ReadExact(file, std::as_writable_bytes(std::span(head)))) {
        return false;
    }
    std::memcpy(chunk.id.data(), head.data(), 4);
    chunk.size = LoadLE32(head.data() + 4);
    chunk.data = at + 8;
    return true;
}

// Calls visit for each chunk of the list in [begin, end); false (with why set) when a chunk
// does not fit.
template <typename Visit>
bool EachChunk(FileHandle& file, std::int64_t begin, std::int64_t end, std::string& why,
               Visit visit) {
    std::int64_t at = begin;
    while (at + 8 <= end) {
        Chunk chunk;
        if (!ReadChunk(file, at, chunk)) {
            why = "the file ends inside a chunk header";
            return false;
        }
        if (chunk.data + chunk.size > end) {
            why = "a chunk reaches past the end of the data that holds it";
            return false;
        }
        if (!visit(chunk)) {
            return false;
        }
        at = chunk.data + chunk.size + (chunk.size & 1);
    }
    return true;
}

bool ReadList(FileHandle& file, const Chunk& chunk, std::array<char, 4>& type) {
    return chunk.size >= 4 && file.Seek(chunk.data) &&
           ReadExact(file, std::as_writable_bytes(std::span(type)));
}

struct Table {
    std::vector<std::uint8_t> bytes;
    std::size_t record = 1;
    bool present = false;
    std::size_t Count() const { return bytes.size() / record; }
    const std::uint8_t* At(std::size_t i) const { return bytes.data() + i * record; }
};

std::string CheckSoundFontTables(const std::array<Table, 9>& t, std::uint64_t smplBytes) {
    enum { Phdr, Pbag, Pmod, Pgen, Inst, Ibag, Imod, Igen, Shdr };
    static constexpr const char* names[] = {"phdr", "pbag", "pmod", "pgen", "inst",
                                            "ibag", "imod", "igen", "shdr"};
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!t[i].present || t[i].bytes.size() % t[i].record != 0 || t[i].Count() == 0) {
            return std::string("its ") + names[i] + " table is missing or broken";
        }
    }
    // Each level's index into the next never falls and stays within the table it points into.
    const auto ascending = [](const Table& table, std::size_t offset, std::size_t limit) {
        std::uint32_t last = 0;
        for (std::size_t i = 0; i < table.Count(); ++i) {
            const std::uint32_t v = LoadLE16(table.At(i) + offset);
            if (v < last || v > limit) {
                return false;
            }
            last = v;
        }
        return true;
    };
    if (!ascending(t[Phdr], 24, t[Pbag].Count() - 1) ||
        !ascending(t[Pbag], 0, t[Pgen].Count() - 1) ||
        !ascending(t[Pbag], 2, t[Pmod].Count() - 1) ||
        !ascending(t[Inst], 20, t[Ibag].Count() - 1) ||
        !ascending(t[Ibag], 0, t[Igen].Count() - 1) ||
        !ascending(t[Ibag], 2, t[Imod].Count() - 1)) {
        return "its zone indices are out of order or out of range";
    }
    const auto links = [](const Table& gens, std::uint16_t operatorId, std::size_t limit) {
        for (std::size_t i = 0; i < gens.Count(); ++i) {
            if (LoadLE16(gens.At(i)) == operatorId && LoadLE16(gens.At(i) + 2) >= limit) {
                return false;
            }
        }
        return true;
    };
    if (!links(t[Pgen], 41, t[Inst].Count() - 1) || !links(t[Igen], 53, t[Shdr].Count() - 1)) {
        return "a zone names an instrument or sample the bank lacks";
    }
    // The bank library sets a generator by its operator as an index into a table of the
    // defined ones and checks it against a 64-bit mask, so an operator of 64 or more passes
    // the check and is written past the table. No version of the format defines one.
    for (const Table* gens : {&t[Pgen], &t[Igen]}) {
        for (std::size_t i = 0; i < gens->Count(); ++i) {
            if (LoadLE16(gens->At(i)) >= 64) {
                return "a zone uses a generator no SoundFont defines";
            }
        }
    }
    // Presets flatten into one voice per instrument zone each of their zones names, so zones
    // naming one large instrument over and over multiply into more voices than the file holds
    // records; the library builds them all whenever a preset is read.
    std::uint64_t voices = 0;
    const std::size_t presetZones = t[Pbag].Count() - 1;
    for (std::size_t zone = 0; zone < presetZones; ++zone) {
        const std::size_t end = LoadLE16(t[Pbag].At(zone + 1));
        for (std::size_t g = LoadLE16(t[Pbag].At(zone)); g < end; ++g) {
            if (LoadLE16(t[Pgen].At(g)) == 41) {
                const std::size_t inst = LoadLE16(t[Pgen].At(g) + 2);
                voices += LoadLE16(t[Inst].At(inst + 1) + 20) - LoadLE16(t[Inst].At(inst) + 20);
                break;
            }
        }
    }
    const std::uint64_t records =
        t[Pbag].Count() + t[Ibag].Count() + t[Pgen].Count() + t[Igen].Count() + t[Shdr].Count();
    if (voices > MaxVoicesPerRecord * records + MinVoiceAllowance) {
        return "its presets name their instruments too many times over";
    }
    for (std::size_t i = 0; i + 1 < t[Shdr].Count(); ++i) {
        const std::uint8_t* s = t[Shdr].At(i);
        const std::uint64_t start = LoadLE32(s + 20);
        const std::uint64_t end = LoadLE32(s + 24);
        const std::uint16_t link = LoadLE16(s + 42);
        const std::uint16_t type = LoadLE16(s + 44);
        if (type & 0x8000) {
            continue; // kept in a synthesizer's memory, not in the file
        }
        // The bank library reads every sample as 16-bit values: an Ogg Vorbis sample of a
        // compressed bank would play as noise.
        if (type & 0x10) {
            return "it is a compressed SoundFont (SF3), whose samples the bank library here "
                   "cannot decode";
        }
        const std::uint64_t limit = smplBytes / 2;
        if (start > end || end > limit) {
            return "a sample lies outside the sample data";
        }
        if ((type & 0x0E) != 0 && link >= t[Shdr].Count() - 1) {
            return "a stereo sample is linked to a sample the bank lacks";
        }
    }
    return {};
}

std::string CheckSoundFont(FileHandle& file, std::int64_t end) {
    std::string why;
    std::array<Table, 9> tables;
    static constexpr std::array<std::pair<const char*, std::size_t>, 9> layout{{{"phdr", 38},
                                                                                {"pbag", 4},
                                                                                {"pmod", 10},
                                                                                {"pgen", 4},
                                                                                {"inst", 22},
                                                                                {"ibag", 4},
                                                                                {"imod", 10},
                                                                                {"igen", 4},
                                                                                {"shdr", 46}}};
    std::uint64_t smplBytes = 0;
    bool sdta = false;
    bool pdta = false;
    const bool ok = EachChunk(file, 12, end, why, [&](const Chunk& chunk) {
        std::array<char, 4> type{};
        if (!IdIs(chunk.id, "LIST") || !ReadList(file, chunk, type)) {
            return true;
        }
        if (IdIs(type, "sdta")) {
            sdta = true;
            return EachChunk(file, chunk.data + 4, chunk.data + chunk.size, why,
                             [&](const Chunk& c) {
                                 if (IdIs(c.id, "smpl")) {
                                     smplBytes = c.size;
                                 }
                                 return true;
                             });
        }
        if (IdIs(type, "pdta")) {
            pdta = true;
            return EachChunk(
                file, chunk.data + 4, chunk.data + chunk.size, why, [&](const Chunk& c) {
                    for (std::size_t i = 0; i < layout.size(); ++i) {
                        if (IdIs(c.id, layout[i].first)) {
                            // The chunk lies within the file, so its size is bounded by the file's.
                            tables[i].record = layout[i].second;
                            tables[i].present = true;
                            tables[i].bytes.resize(c.size);
                            if (!file.Seek(c.data) ||
                                !ReadExact(file,
                                           std::as_writable_bytes(std::span(tables[i].bytes)))) {
                                why = "the file ends inside its preset data";
                                return false;
                            }
                        }
                    }
                    return true;
                });
        }
        return true;
    });
    if (!ok) {
        return why;
    }
    if (!sdta || !pdta) {
        return "it lacks its sample or preset data";
    }
    return CheckSoundFontTables(tables, smplBytes);
}

std::string CheckNested(FileHandle& file, std::int64_t begin, std::int64_t end,
                        std::int32_t depth) {
    if (depth > MaxDepth) {
        return "its chunks nest too deeply";
    }
    std::string why;
    std::string inner;
    EachChunk(file, begin, end, why, [&](const Chunk& chunk) {
        if (IdIs(chunk.id, "LIST") || IdIs(chunk.id, "RIFF")) {
            if (chunk.size < 4) {
                inner = "a list chunk is too short";
                return false;
            }
            inner = CheckNested(file, chunk.data + 4, chunk.data + chunk.size, depth + 1);
            return inner.empty();
        }
        return true;
    });
    return why.empty() ? inner : why;
}

// The library links a DLS region to its wave through the pool table and reads a region whose
// link leads nowhere as one without a sample, which its voice conversion does not survive.
// So each region must link, each link name an entry of the pool table, and each entry lead to a
// wave list with its format and data inside the wave pool.
std::string CheckDlsLinks(FileHandle& file, std::int64_t end) {
    std::string why;
    std::vector<std::uint32_t> cues;
    bool pooled = false;
    std::int64_t pool = -1;
    std::int64_t poolEnd = -1;
    std::vector<std::uint32_t> links;
    const auto fail = [&why](const char* text) {
        why = text;
        return false;
    };
    // Calls visit for each list of the given type among the chunks of [begin, end).
    const auto lists = [&](std::int64_t begin, std::int64_t stop,
                           std::initializer_list<const char*> types, auto visit) {
        return EachChunk(file, begin, stop, why, [&](const Chunk& c) {
            std::array<char, 4> type{};
            if (!IdIs(c.id, "LIST") || !ReadList(file, c, type)) {
                return true;
            }
            for (const char* wanted : types) {
                if (IdIs(type, wanted)) {
                    return visit(c);
                }
            }
            return true;
        });
    };
    const auto region = [&](const Chunk& rgn) {
        bool linked = false;
        const bool ok =
            EachChunk(file, rgn.data + 4, rgn.data + rgn.size, why, [&](const Chunk& c) {
                if (!IdIs(c.id, "wlnk")) {
                    return true;
                }
                std::array<std::uint8_t, 12> wlnk{};
                if (c.size < wlnk.size() || !file.Seek(c.data) ||
                    !ReadExact(file, std::as_writable_bytes(std::span(wlnk)))) {
                    return fail("a region's wave link is broken");
                }
                links.push_back(LoadLE32(wlnk.data() + 8));
                linked = true;
                return true;
            });
        return ok && (linked || fail("a region links to no wave"));
    };
    const bool ok = EachChunk(file, 12, end, why, [&](const Chunk& c) {
        std::array<char, 4> type{};
        if (IdIs(c.id, "ptbl")) {
            std::array<std::uint8_t, 8> head{};
            if (c.size < head.size() || !file.Seek(c.data) ||
                !ReadExact(file, std::as_writable_bytes(std::span(head)))) {
                return fail("its pool table is broken");
            }
            const std::uint32_t headSize = LoadLE32(head.data());
            const std::uint32_t count = LoadLE32(head.data() + 4);
            if (headSize < head.size() || headSize > c.size || count > (c.size - headSize) / 4) {
                return fail("its pool table is broken");
            }
            // Within the chunk, so within the file.
            std::vector<std::uint8_t> raw(std::size_t{count} * 4);
            if (!file.Seek(c.data + headSize) ||
                !ReadExact(file, std::as_writable_bytes(std::span(raw)))) {
                return fail("its pool table is broken");
            }
            cues.resize(count);
            for (std::size_t i = 0; i < cues.size(); ++i) {
                cues[i] = LoadLE32(raw.data() + 4 * i);
            }
            pooled = true;
        } else if (IdIs(c.id, "LIST") && ReadList(file, c, type)) {
            if (IdIs(type, "wvpl")) {
                pool = c.data + 4;
                poolEnd = c.data + c.size;
            } else if (IdIs(type, "lins")) {
                return lists(c.data + 4, c.data + c.size, {"ins "}, [&](const Chunk& ins) {
                    return lists(ins.data + 4, ins.data + ins.size, {"lrgn"},
                                 [&](const Chunk& lrgn) {
                                     return lists(lrgn.data + 4, lrgn.data + lrgn.size,
                                                  {"rgn ", "rgn2"}, region);
                                 });
                });
            }
        }
        return true;
    });
    if (!ok) {
        return why;
    }
    if (!pooled || pool < 0) {
        return "it lacks its wave pool or pool table";
    }
    for (const std::uint32_t link : links) {
        if (link >= cues.size()) {
            return "a region links to a wave the bank lacks";
        }
    }
    for (const std::uint32_t cue : cues) {
        Chunk wave;
        std::array<char, 4> type{};
        if (pool + cue + 12 > poolEnd || !ReadChunk(file, pool + cue, wave) ||
            wave.data + wave.size > poolEnd || !IdIs(wave.id, "LIST") ||
            !ReadList(file, wave, type) || !IdIs(type, "wave")) {
            return "its pool table leads to something other than a wave";
        }
        bool format = false;
        bool data = false;
        if (!EachChunk(file, wave.data + 4, wave.data + wave.size, why, [&](const Chunk& c) {
                format = format || (IdIs(c.id, "fmt ") && c.size >= 16);
                data = data || IdIs(c.id, "data");
                return true;
            })) {
            return why;
        }
        if (!format || !data) {
            return "a wave lacks its format or its data";
        }
    }
    return {};
}

} // namespace

std::string CheckBankStructure(const std::string& fileName) {
    FileHandle file = OpenForRead(fileName);
    if (!file.IsValid()) {
        return "the file cannot be opened";
    }
    std::array<std::uint8_t, 12> head{};
    if (!ReadExact(file, std::as_writable_bytes(std::span(head))) ||
        std::memcmp(head.data(), "RIFF", 4) != 0) {
        return "it is not a SoundFont or DLS bank";
    }
    const std::int64_t declared = std::int64_t{LoadLE32(head.data() + 4)} + 8;
    if (declared > file.Size()) {
        return "the file is cut short";
    }
    try {
        if (std::memcmp(head.data() + 8, "sfbk", 4) == 0) {
            // Every list whole, the text of the INFO list too: the library trusts the size of
            // a text chunk as it finds it.
            std::string why = CheckNested(file, 12, declared, 0);
            return why.empty() ? CheckSoundFont(file, declared) : why;
        }
        if (std::memcmp(head.data() + 8, "DLS ", 4) == 0) {
            std::string why = CheckNested(file, 12, declared, 0);
            return why.empty() ? CheckDlsLinks(file, declared) : why;
        }
    } catch (const std::bad_alloc&) {
        return "its preset data do not fit in memory";
    }
    return "it is not a SoundFont or DLS bank";
}

} // namespace sonlet
