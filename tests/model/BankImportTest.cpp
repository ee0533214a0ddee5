// Presets of SoundFont banks as XI instruments: a small bank written through libinstpatch by
// the test, crafted damaged banks, and Debian's General MIDI banks where installed.
#include "model/BankImport.h"

#include "BankBuilder.h"
#include "CapturingReporter.h"
#include "TempDir.h"
#include "model/BankCheck.h"
#include "model/Instrument.h"
#include "model/XiLayout.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace sonlet {
namespace {

using testkit::CapturingReporter;
using testkit::TempDir;

// The rate at which the tracker plays a sample at note n, from its saved tuning.
double TrackerRate(const TSample& s, std::int32_t note) {
    const double semitones =
        (s.Transpose + xi::RelativeNoteBias) + (s.Finetune - xi::FinetuneOffset16) / 128.0;
    return 8363.0 * std::exp2((semitones + 12.0 + (note - 60)) / 12.0);
}

double Cents(double a, double b) { return 1200.0 * std::log2(a / b); }

struct SmallBankFile : ::testing::Test {
    TempDir dir;
    std::string path = dir.File("small.sf2");
    void SetUp() override { ASSERT_TRUE(testkit::WriteSoundFont(testkit::SmallBank(), path)); }

    std::size_t Find(const TSoundBank& bank, const std::string& name) {
        for (std::size_t i = 0; i < bank.Presets().size(); ++i) {
            if (bank.Presets()[i].name == name) {
                return i;
            }
        }
        ADD_FAILURE() << "no preset " << name;
        return 0;
    }
};

TEST_F(SmallBankFile, TwoZonesBecomeTwoSamplesOnTheirKeysWithTuningLoopEnvelopeAndVibrato) {
    CapturingReporter reporter;
    auto bank = TSoundBank::Open(path);
    ASSERT_TRUE(bank);
    ASSERT_EQ(bank->Presets().size(), 2u);
    EXPECT_EQ(bank->Presets()[0].bank, 0); // listed by bank and program
    EXPECT_EQ(bank->Presets()[0].zoneCount, 2);

    TInstrument inst;
    BankConversionNotes notes;
    ASSERT_TRUE(ConvertPreset(*bank, Find(*bank, "Two Zones"), inst, notes));
    EXPECT_TRUE(reporter.Messages().empty());
    ASSERT_EQ(inst.SampleCount, 2);
    const TSample& low = *inst.Samples[0];
    const TSample& high = *inst.Samples[1];
    EXPECT_EQ(low.SampleName, "Low");
    EXPECT_EQ(high.SampleName, "High");
    for (std::size_t note = 0; note < xi::KeyMapLength; ++note) {
        EXPECT_EQ(inst.XiBlock[xi::KeyMapOffset + note], note <= 63 ? 0 : 1) << note;
    }
    // Each root key plays its sample at the sample's own rate.
    EXPECT_NEAR(Cents(TrackerRate(low, 57), 22050.0), 0.0, 1.0);
    EXPECT_NEAR(Cents(TrackerRate(high, 81), 44100.0), 0.0, 1.0);
    EXPECT_EQ(low.NumFrames, 20000);
    EXPECT_EQ(low.Format.nChannels, 1);
    EXPECT_EQ(low.GetValue(1234), testkit::Sine(20000, 220, 22050)[1234]);
    EXPECT_EQ(low.LoopType, LoopForward);
    EXPECT_EQ(low.LoopStart, 1000);
    EXPECT_EQ(low.LoopLength, 18000);
    EXPECT_EQ(high.LoopType, LoopNone);
    EXPECT_EQ(low.Volume, 32); // 6 dB of attenuation

    // Attack 0.25 s, decay to 20 dB below full in 0.2 s, sustained there; the release as the
    // fadeout, shaped by the points after the sustain point.
    const auto& p = inst.VolPoints;
    const std::int32_t count = inst.VolEnv.Count;
    const std::int32_t sustain = inst.VolEnv.Sustain;
    ASSERT_GE(sustain, 2);
    ASSERT_LE(count, 12);
    EXPECT_EQ(inst.VolEnv.Enabled, 1);
    EXPECT_EQ(inst.VolEnv.SustainOn, 1);
    EXPECT_EQ(p[0].X, 0);
    EXPECT_EQ(p[0].Y, 0);
    EXPECT_NEAR(p[1].X, 12.5, 0.6);
    EXPECT_EQ(p[1].Y, 64);
    EXPECT_NEAR(p[sustain].X, 22.5, 1.1);
    EXPECT_EQ(p[sustain].Y, 6);
    for (std::int32_t i = 1; i < count; ++i) {
        EXPECT_GT(p[i].X, p[i - 1].X);
        EXPECT_LE(p[i].Y, i == 1 ? 64 : p[i - 1].Y);
    }
    // The fade ends the release when it has fallen 40 dB (1 s a 100 dB); envelope and fade
    // together fall as the bank's release, in dB evenly (as near as 65 levels come, 20 dB down).
    EXPECT_NEAR(inst.Fadeout, 32768.0 / 20.0, 2.0);
    ASSERT_EQ(count, sustain + 4);
    for (std::int32_t i = sustain + 1; i < count; ++i) {
        const double ticks = p[i].X - p[sustain].X;
        const double level = p[i].Y * (1.0 - ticks * inst.Fadeout / 32768.0) / p[sustain].Y;
        EXPECT_NEAR(20.0 * std::log10(level), -100.0 * ticks / 50.0, 3.0) << i;
    }
    EXPECT_EQ(inst.XiBlock[xi::VibratoDepthOffset], 10); // 16 cents
    EXPECT_EQ(inst.XiBlock[xi::VibratoRateOffset], 42);  // 8.2 Hz
    EXPECT_EQ(inst.XiBlock[xi::VibratoSweepOffset], 0);
    EXPECT_EQ(inst.InstrumentName, "Two Zones");
    EXPECT_EQ(notes.Summary(), "");
}

TEST_F(SmallBankFile, LinkedPairBecomesOneStereoSampleAndBankSamplesImportAlone) {
    auto bank = TSoundBank::Open(path);
    ASSERT_TRUE(bank);
    TInstrument inst;
    BankConversionNotes notes;
    ASSERT_TRUE(ConvertPreset(*bank, Find(*bank, "Stereo Pad"), inst, notes));
    ASSERT_EQ(inst.SampleCount, 1);
    const TSample& pad = *inst.Samples[0];
    EXPECT_EQ(pad.Format.nChannels, 2);
    EXPECT_EQ(pad.NumFrames, 8000);
    const auto left = testkit::Sine(8000, 441, 44100);
    const auto right = testkit::Sine(8000, 661.5, 44100, 6000);
    for (std::int64_t f : {0, 1, 17, 4000, 7999}) {
        EXPECT_EQ(pad.GetValue(2 * f), left[static_cast<std::size_t>(f)]) << f;
        EXPECT_EQ(pad.GetValue(2 * f + 1), right[static_cast<std::size_t>(f)]) << f;
    }
    EXPECT_EQ(pad.Panning, 0);
    EXPECT_EQ(pad.LoopStart, 100);
    EXPECT_EQ(pad.LoopLength, 7800);

    // A bank sample alone: its own loop and root key.
    std::size_t lowIndex = 0;
    while (bank->Samples()[lowIndex].name != "Low") {
        ++lowIndex;
    }
    const auto sample = BankSampleToSample(*bank, lowIndex);
    ASSERT_TRUE(sample);
    EXPECT_NEAR(Cents(TrackerRate(*sample, 57), 22050.0), 0.0, 1.0);
    EXPECT_EQ(sample->LoopStart, 1000);
    EXPECT_EQ(sample->LoopLength, 18000);
}

// A SoundFont written byte by byte whose one preset names, from each of presetZones zones, the
// one instrument of instrumentZones zones on one sample.
std::vector<std::uint8_t> RepeatedInstrumentBank(std::uint16_t presetZones,
                                                 std::uint16_t instrumentZones) {
    std::vector<std::uint8_t> out;
    const auto u16 = [&out](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const auto text = [&out](std::string_view t, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(i < t.size() ? static_cast<std::uint8_t>(t[i]) : 0);
        }
    };
    std::vector<std::size_t> open;
    const auto begin = [&](std::string_view id, std::string_view type = {}) {
        text(id, 4);
        open.push_back(out.size());
        u32(0);
        text(type, type.size());
    };
    const auto end = [&] {
        const std::size_t at = open.back();
        open.pop_back();
        const auto size = static_cast<std::uint32_t>(out.size() - at - 4);
        for (int i = 0; i < 4; ++i) {
            out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
        }
    };
    const auto bags = [&](std::uint16_t count) {
        for (std::uint16_t i = 0; i <= count; ++i) {
            u16(i);
            u16(0);
        }
    };
    const auto gens = [&](std::uint16_t count, std::uint16_t op) {
        for (std::uint16_t i = 0; i < count; ++i) {
            u16(op);
            u16(0);
        }
        u32(0);
    };
    begin("RIFF", "sfbk");
    begin("LIST", "INFO");
    begin("ifil");
    u16(2);
    u16(1);
    end();
    begin("INAM");
    text("x", 2);
    end();
    end();
    begin("LIST", "sdta");
    begin("smpl");
    text("", 2 * (100 + 46));
    end();
    end();
    begin("LIST", "pdta");
    begin("phdr");
    for (const auto& [name, bag] : {std::pair{"P", 0}, std::pair{"EOP", int{presetZones}}}) {
        text(name, 20);
        u16(0);
        u16(0);
        u16(static_cast<std::uint32_t>(bag));
        text("", 12);
    }
    end();
    begin("pbag");
    bags(presetZones);
    end();
    begin("pmod");
    text("", 10);
    end();
    begin("pgen");
    gens(presetZones, 41);
    end();
    begin("inst");
    text("I", 20);
    u16(0);
    text("EOI", 20);
    u16(instrumentZones);
    end();
    begin("ibag");
    bags(instrumentZones);
    end();
    begin("imod");
    text("", 10);
    end();
    begin("igen");
    gens(instrumentZones, 53);
    end();
    begin("shdr");
    text("S", 20);
    for (std::uint32_t v : {0u, 100u, 10u, 90u, 44100u}) {
        u32(v);
    }
    text("<", 1);
    text("", 1);
    u16(0);
    u16(1);
    text("EOS", 46);
    end();
    end();
    end();
    return out;
}

// A damaged bank gives a message and no bank, whatever part of it is broken.
TEST_F(SmallBankFile, CutCraftedAndForeignFilesAreRefusedWithAMessage) {
    const auto bytes = testkit::ReadAll(path);
    const auto find = [&bytes](const char* id) {
        for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
            if (std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i))) {
                return i;
            }
        }
        return bytes.size();
    };
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases;
    cases.emplace_back(
        "cut",
        std::vector(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2)));
    auto sampleEnd = bytes;
    const std::size_t shdr = find("shdr");
    ASSERT_LT(shdr, bytes.size());
    sampleEnd[shdr + 8 + 24 + 3] = 0x7F; // the first sample ends far past the data
    cases.emplace_back("sample end", sampleEnd);
    auto bagIndex = bytes;
    bagIndex[find("phdr") + 8 + 24 + 1] = 0x40; // a preset's zones past the zone table
    cases.emplace_back("bag index", bagIndex);
    auto chunkSize = bytes;
    chunkSize[find("pdta") - 4 + 3] = 0x10; // the preset list reaches past the file
    cases.emplace_back("chunk size", chunkSize);
    cases.emplace_back("text", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'});
    // The library would write a generator past 63 beyond its table of them.
    auto generator = bytes;
    generator[find("igen") + 8] = 103;
    generator[find("igen") + 9] = 0;
    cases.emplace_back("generator", generator);
    // 300 zones naming an instrument of 300 zones: 90000 voices from 1200 records.
    cases.emplace_back("repeated instrument", RepeatedInstrumentBank(300, 300));
    EXPECT_EQ(CheckBankStructure(dir.Write("repeated.sf2", RepeatedInstrumentBank(8, 8))), "");

    for (const auto& [name, content] : cases) {
        CapturingReporter reporter;
        const std::string file = dir.Write(name + ".sf2", content);
        EXPECT_FALSE(CheckBankStructure(file).empty()) << name;
        EXPECT_FALSE(TSoundBank::Open(file)) << name;
        ASSERT_EQ(reporter.Messages().size(), 1u) << name;
        EXPECT_NE(reporter.Messages()[0].text.find("Not a usable bank"), std::string::npos) << name;
    }
    EXPECT_EQ(CheckBankStructure(path), "");
}

// DLS banks (one written by libinstpatch) convert as SoundFonts do; a compressed SoundFont,
// which the library reads as if its Ogg data were values, is refused with a message.
TEST_F(SmallBankFile, DlsConvertsAndCompressedSoundFontsAreRefused) {
    const std::string dls = dir.File("small.dls");
    ASSERT_TRUE(testkit::WriteDls(testkit::SmallBank(), dls));
    // As the library writes it, the file states 44100 Hz for every sample; the first is of
    // 22050 Hz.
    auto wave = testkit::ReadAll(dls);
    const auto fmt = static_cast<std::size_t>(
        std::search(wave.begin(), wave.end(), "fmt ", "fmt " + 4) - wave.begin());
    ASSERT_LT(fmt + 20, wave.size());
    for (std::size_t i = 0; i < 8; ++i) { // the rate, and the bytes a second
        wave[fmt + 12 + i] = static_cast<std::uint8_t>((i < 4 ? 22050u : 44100u) >> (8 * (i % 4)));
    }
    dir.Write("small.dls", wave);
    {
        CapturingReporter reporter;
        auto bank = TSoundBank::Open(dls);
        ASSERT_TRUE(bank);
        TInstrument inst;
        BankConversionNotes notes;
        ASSERT_TRUE(ConvertPreset(*bank, Find(*bank, "Two Zones"), inst, notes));
        EXPECT_TRUE(reporter.Messages().empty());
        EXPECT_EQ(bank->Presets()[Find(*bank, "Two Zones")].program, 5);
        ASSERT_EQ(inst.SampleCount, 2);
        for (std::size_t note = 0; note < xi::KeyMapLength; ++note) {
            EXPECT_EQ(inst.XiBlock[xi::KeyMapOffset + note], note <= 63 ? 0 : 1) << note;
        }
        const TSample& low = *inst.Samples[0];
        EXPECT_EQ(low.SampleName, "Low");
        EXPECT_NEAR(Cents(TrackerRate(low, 57), 22050.0), 0.0, 1.0);
        EXPECT_EQ(low.GetValue(1234), testkit::Sine(20000, 220, 22050)[1234]);
        EXPECT_EQ(low.LoopStart, 1000);
        EXPECT_EQ(low.LoopLength, 18000);
        EXPECT_NEAR(Cents(TrackerRate(*inst.Samples[1], 81), 44100.0), 0.0, 1.0);
    }
    // A region linked past the pool table is refused before the library sees it.
    const auto wlnk = static_cast<std::size_t>(
        std::search(wave.begin(), wave.end(), "wlnk", "wlnk" + 4) - wave.begin());
    ASSERT_LT(wlnk + 20, wave.size());
    wave[wlnk + 16] = 7;
    EXPECT_EQ(CheckBankStructure(dir.Write("linked.dls", wave)),
              "a region links to a wave the bank lacks");

    auto bytes = testkit::ReadAll(path);
    const auto at = [&bytes](const char* id) {
        return static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), id, id + 4) -
                                        bytes.begin());
    };
    bytes[at("ifil") + 8] = 3;
    bytes[at("shdr") + 8 + 44] |= 0x10; // the first sample: Ogg Vorbis
    const std::string sf3 = dir.Write("small.sf3", bytes);
    CapturingReporter reporter;
    EXPECT_FALSE(TSoundBank::Open(sf3));
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_NE(reporter.Messages()[0].text.find("compressed SoundFont (SF3)"), std::string::npos);
}

// A bank whose preset spreads 20 samples over 20 key ranges, each of 4 keys but the last
// four of 2, and a velocity layer of its own on top.
class WideBank final : public TSoundBank {
public:
    WideBank() {
        presets_.push_back({0, 0, "Wide", 21});
        for (std::int32_t i = 0; i < 21; ++i) {
            samples_.push_back({"s" + std::to_string(i), 100, 44100});
        }
    }
    std::vector<BankZone> Zones(std::size_t) override {
        std::vector<BankZone> zones;
        std::int32_t key = 20;
        for (std::int32_t i = 0; i < 20; ++i) {
            BankZone z;
            z.sample = i;
            z.keyLow = key;
            z.keyHigh = key + (i < 16 ? 3 : 1);
            key = z.keyHigh + 1;
            z.rootKey = z.keyLow;
            zones.push_back(z);
        }
        BankZone soft = zones[3];
        soft.sample = 20;
        soft.velHigh = 40;
        zones.push_back(soft);
        return zones;
    }
    bool ReadValues(std::size_t, std::vector<std::int16_t>& values) override {
        values.assign(100, 7);
        return true;
    }
};

TEST(BankConversion, MoreThanSixteenSamplesKeepTheVelocity100LayerAndDropTheNarrowest) {
    CapturingReporter reporter;
    WideBank bank;
    TInstrument inst;
    BankConversionNotes notes;
    ASSERT_TRUE(ConvertPreset(bank, 0, inst, notes));
    EXPECT_EQ(inst.SampleCount, 16);
    EXPECT_EQ(notes.droppedSamples, 5); // the soft layer's sample and four narrow ranges
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_TRUE(reporter.Messages()[0].warning);
    EXPECT_NE(reporter.Messages()[0].text.find("5 were dropped"), std::string::npos);
    std::set<std::string> names;
    for (std::int32_t i = 0; i < inst.SampleCount; ++i) {
        names.insert(inst.Samples[static_cast<std::size_t>(i)]->SampleName);
    }
    EXPECT_FALSE(names.contains("s20"));
    EXPECT_FALSE(names.contains("s19"));
    // Keys of dropped ranges, and keys beyond every zone, take the nearest kept zone.
    for (std::size_t note = 0; note < xi::KeyMapLength; ++note) {
        const std::uint8_t s = inst.XiBlock[xi::KeyMapOffset + note];
        ASSERT_LT(s, 16) << note;
        const std::string& name = inst.Samples[s]->SampleName;
        if (note < 20) {
            EXPECT_EQ(name, "s0") << note;
        } else if (note >= 84) {
            EXPECT_EQ(name, "s15") << note;
        }
    }
    EXPECT_NE(notes.Summary().find("velocity layers"), std::string::npos);
}

// Every preset of Debian's banks converts to at most 16 samples on a full key map.
TEST(BankConversion, GeneralMidiBanksConvertEveryPreset) {
    const std::filesystem::path tim = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::filesystem::exists(tim)) {
        GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    }
    for (const auto& entry : std::filesystem::directory_iterator(tim.parent_path())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(CheckBankStructure(entry.path().string()), "") << entry.path();
        }
    }
    CapturingReporter reporter;
    auto bank = TSoundBank::Open(tim.string());
    ASSERT_TRUE(bank);
    EXPECT_GE(bank->Presets().size(), 128u);
    for (std::size_t i = 0; i < bank->Presets().size(); ++i) {
        TInstrument inst;
        BankConversionNotes notes;
        ASSERT_TRUE(ConvertPreset(*bank, i, inst, notes)) << bank->Presets()[i].name;
        ASSERT_LE(inst.SampleCount, 16);
        std::set<std::uint8_t> used;
        for (std::size_t note = 0; note < xi::KeyMapLength; ++note) {
            used.insert(inst.XiBlock[xi::KeyMapOffset + note]);
            ASSERT_LT(inst.XiBlock[xi::KeyMapOffset + note], inst.SampleCount);
        }
        if (bank->Presets()[i].bank == 0 && bank->Presets()[i].program == 0) {
            EXPECT_GE(used.size(), 3u) << "the piano's samples lie on their own key ranges";
            // It decays to silence; let go on the way there, it fades over its release (1 s).
            EXPECT_NEAR(inst.Fadeout, 1575, 50);
        }
        // Every envelope holds its sustain point, the points after it keep falling.
        const std::int32_t count = inst.VolEnv.Count;
        ASSERT_LT(inst.VolEnv.Sustain, count) << bank->Presets()[i].name;
        for (std::int32_t p = inst.VolEnv.Sustain + 1; p < count; ++p) {
            EXPECT_GT(inst.VolPoints[p].X, inst.VolPoints[p - 1].X) << bank->Presets()[i].name;
            EXPECT_LE(inst.VolPoints[p].Y, inst.VolPoints[p - 1].Y) << bank->Presets()[i].name;
        }
    }
}

} // namespace
} // namespace sonlet
