#include "Json.h"
#include "RunCli.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "XiBuilder.h"
#include "model/SampleResample.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using testkit::CliResult;
using testkit::JsonValue;
using testkit::RunCli;
using testkit::XiBuilder;
using testkit::XiSampleSpec;

// FNV-1a over the values as little-endian signed 16-bit pairs, written out here so the
// tool's hash is checked against an independent computation.
std::string Fnv(const std::vector<std::int32_t>& values) {
    std::uint64_t h = 14695981039346656037ULL;
    for (std::int32_t v : values) {
        const auto w = static_cast<std::uint16_t>(v);
        for (std::uint8_t byte :
             {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)}) {
            h = (h ^ byte) * 1099511628211ULL;
        }
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, h);
    return hex;
}

class Cli : public ::testing::Test {
protected:
    // Runs info --json on path and parses its output.
    JsonValue Info(const std::string& path, int expectedExit = 0) {
        const CliResult r = RunCli({"info", path, "--json"});
        EXPECT_EQ(r.exitCode, expectedExit) << r.err;
        return testkit::ParseJson(r.out);
    }
    std::string Wav16(const std::string& name, std::uint16_t channels,
                      const std::vector<std::int16_t>& values, std::uint32_t rate = 22050) {
        return dir.Write(name, testkit::WavBuilder::Pcm(channels, rate, 16)
                                   .DataChunk(testkit::Le16Values(values))
                                   .Bytes());
    }

    testkit::TempDir dir;
};

TEST_F(Cli, InfoJsonDescribesTheWholeInstrument) {
    XiBuilder xi;
    xi.name = std::string("Caf\xE9") + '\0' + "hidden";
    xi.trackerName = "Other tracker       ";
    xi.version = 0x0101;
    xi.block[5] = 1; // key map: note 5 plays sample 1
    xi.block[96] = 0;
    xi.block[98] = 64;
    xi.block[100] = 10;
    xi.block[192] = 2;
    xi.block[194] = 1;
    xi.block[200] = 3;
    xi.block[201] = 4;
    xi.block[202] = 1;
    xi.block[205] = 9;
    xi.block[206] = 0x34;
    xi.block[207] = 0x02;
    XiSampleSpec a = XiSampleSpec::Deltas16({100, -200, 300, 32767});
    a.type = 0x11;
    a.loopStart = 2;
    a.loopLength = 4;
    a.volume = 50;
    a.panning = 0x90;
    a.finetune = -20;
    a.relativeNote = 5;
    a.name = "Low";
    XiSampleSpec b = XiSampleSpec::Deltas8({-128, 0, 127});
    b.name = "High\xFF";
    xi.samples = {a, b};
    const JsonValue j = Info(dir.Write("caf.xi", xi.Bytes()));

    EXPECT_EQ(j["format"].Latin1(), "xi");
    EXPECT_EQ(j["name"].Latin1(), "Caf\xE9");
    EXPECT_EQ(j["tracker"].Latin1(), "Other tracker       ");
    EXPECT_EQ(j["version"].Int(), 0x0101);
    EXPECT_EQ(j["declared_samples"].Int(), 2);
    EXPECT_EQ(j["current"].Int(), 0);
    EXPECT_EQ(j["fadeout"].Int(), 0x234);
    const JsonValue& vol = j["volume_envelope"];
    EXPECT_EQ(vol["count"].Int(), 2);
    EXPECT_EQ(vol["sustain"].Int(), 1);
    EXPECT_TRUE(vol["enabled"].Bool());
    EXPECT_TRUE(vol["sustain_on"].Bool());
    EXPECT_FALSE(vol["loop_on"].Bool());
    ASSERT_EQ(vol["points"].Size(), 12u);
    EXPECT_EQ(vol["points"][0][1].Int(), 64);
    EXPECT_EQ(vol["points"][1][0].Int(), 10);
    EXPECT_TRUE(j["panning_envelope"]["loop_on"].Bool());
    EXPECT_FALSE(j["panning_envelope"]["enabled"].Bool());
    EXPECT_EQ(j["vibrato"]["type"].Int(), 1);
    EXPECT_EQ(j["vibrato"]["rate"].Int(), 9);
    ASSERT_EQ(j["keymap"].Size(), 96u);
    EXPECT_EQ(j["keymap"][5].Int(), 1);
    EXPECT_EQ(j["keymap"][6].Int(), 0);

    ASSERT_EQ(j["samples"].Size(), 2u);
    const JsonValue& s0 = j["samples"][0];
    EXPECT_EQ(s0["name"].Latin1(), "Low");
    EXPECT_EQ(s0["bits"].Int(), 16);
    EXPECT_EQ(s0["channels"].Int(), 1);
    EXPECT_EQ(s0["rate"].Int(), 44100);
    EXPECT_EQ(s0["frames"].Int(), 4);
    EXPECT_EQ(s0["data_size"].Int(), 8);
    EXPECT_EQ(s0["loop_type"].Int(), 1);
    EXPECT_EQ(s0["loop_start"].Int(), 1);
    EXPECT_EQ(s0["loop_length"].Int(), 2);
    EXPECT_EQ(s0["volume"].Int(), 50);
    EXPECT_EQ(s0["panning"].Int(), 16);
    EXPECT_EQ(s0["finetune"].Int(), 8);
    EXPECT_EQ(s0["transpose"].Int(), -12);
    EXPECT_EQ(s0["values_fnv1a64"].Latin1(), Fnv({100, -200, 300, 32767}));
    const JsonValue& s1 = j["samples"][1];
    EXPECT_EQ(s1["name"].Latin1(), "High\xFF");
    EXPECT_EQ(s1["bits"].Int(), 8);
    EXPECT_EQ(s1["values_fnv1a64"].Latin1(), Fnv({-32768, 0, 32512}));
    EXPECT_EQ(j["messages"].Size(), 0u);

    const CliResult text = RunCli({"info", dir.File("caf.xi")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Sample 1: \"High"), std::string::npos) << text.out;
}

TEST_F(Cli, InfoListsTheMessagesOfTheLoadAndOnlyFailuresFail) {
    const CliResult missing = RunCli({"info", dir.File("missing.xi"), "--json"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("File not found"), std::string::npos);
    const JsonValue m = testkit::ParseJson(missing.out);
    ASSERT_EQ(m["messages"].Size(), 1u);
    EXPECT_EQ(m["messages"][0].Latin1(), "File not found");

    XiBuilder many;
    for (int i = 0; i < 17; ++i) {
        many.samples.push_back(XiSampleSpec::Deltas8({1}));
    }
    const std::string manyXi = dir.Write("many.xi", many.Bytes());
    const JsonValue j = Info(manyXi);
    EXPECT_EQ(j["declared_samples"].Int(), 17);
    EXPECT_EQ(j["samples"].Size(), 16u);
    EXPECT_EQ(j["messages"][0].Latin1(), "Only the first 16 samples were loaded");

    // A warning leaves a usable instrument: a conversion goes on and succeeds.
    const CliResult convert = RunCli({"convert", manyXi, dir.File("many-out.xi")});
    EXPECT_EQ(convert.exitCode, 0);
    EXPECT_NE(convert.err.find("warning: Only the first 16 samples were loaded"), std::string::npos)
        << convert.err;
    EXPECT_EQ(Info(dir.File("many-out.xi"))["samples"].Size(), 16u);

    const JsonValue w = Info(Wav16("tone.WAV", 2, {1, 2, 3, 4}));
    EXPECT_EQ(w["format"].Latin1(), "wav");
    EXPECT_EQ(w["samples"][0]["channels"].Int(), 2);
    EXPECT_EQ(w["samples"][0]["rate"].Int(), 22050);
}

TEST_F(Cli, BadArgumentsPrintTheUsageAndExitTwo) {
    const std::string xi = dir.Write("in.xi", XiBuilder().Bytes());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", xi, "--verbose"},
        {"convert", xi, dir.File("out.wav")},
        {"convert", xi, dir.File("out.xi"), "--name"},
        {"apply", xi, dir.File("out.xi")},
        {"apply", xi, dir.File("out.xi"), "--function", "volume", "--gain", "2000"},
        {"apply", xi, dir.File("out.xi"), "--function", "resample"},
        {"apply", xi, dir.File("out.xi"), "--function", "reverse", "--range", "5"},
        {"apply", xi, dir.File("out.xi"), "--function", "reverse", "--range", "a:9"},
        {"export", xi, dir.File("out.wav"), "--sample", "one"},
    };
    for (const auto& args : cases) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir.File("out.xi")));
    EXPECT_EQ(RunCli({"--help"}).exitCode, 0);
}

TEST_F(Cli, ConvertAddsWavSamplesAndNamesTheInstrument) {
    const std::string in = Wav16("in.wav", 2, {1, 2, 3, 4, 5, 6});
    const std::string add = Wav16("add.wav", 1, {-7, 8});
    const std::string out = dir.File("out.xi");
    const CliResult r = RunCli({"convert", in, out, "--add", add, "--add", add, "--name", "Pad"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const JsonValue j = Info(out);
    EXPECT_EQ(j["name"].Latin1(), "Pad");
    EXPECT_EQ(j["current"].Int(), 0);
    ASSERT_EQ(j["samples"].Size(), 3u);
    // The stereo sample stays stereo.
    EXPECT_EQ(j["samples"][0]["channels"].Int(), 2);
    EXPECT_EQ(j["samples"][0]["frames"].Int(), 3);
    EXPECT_EQ(j["samples"][0]["values_fnv1a64"].Latin1(), Fnv({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(j["samples"][2]["values_fnv1a64"].Latin1(), Fnv({-7, 8}));
}

// Bulk work on a multi-sample instrument: key ranges by note names or numbers, applied in
// order; vibrato; names in the code page. Arguments it cannot use change no file.
TEST_F(Cli, ConvertMapsKeysSetsVibratoAndNames) {
    const std::string in = Wav16("in.wav", 1, {1, 2});
    const std::string add = Wav16("add.wav", 1, {3, 4});
    const std::string out = dir.File("out.xi");
    CliResult r = RunCli({"convert",
                          in,
                          out,
                          "--add",
                          add,
                          "--add",
                          add,
                          "--map",
                          "C-4-B-7=2",
                          "--map",
                          "C#5-95=3",
                          "--map",
                          "Db4=3",
                          "--vibrato",
                          "2,20,12,24",
                          "--name",
                          "Gitarre f\xC3\xBCr",
                          "--sample-name",
                          "1=Low",
                          "--sample-name",
                          "3=High E"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    JsonValue j = Info(out);
    EXPECT_EQ(j["keymap_ranges"].Latin1(), "C-0..B-3: 1, C-4: 2, C#4: 3, D-4..C-5: 2, C#5..B-7: 3");
    EXPECT_EQ(j["keymap"][49].Int(), 2);
    EXPECT_EQ(j["vibrato"]["type"].Int(), 2);
    EXPECT_EQ(j["vibrato"]["rate"].Int(), 24);
    EXPECT_EQ(j["samples"][0]["name"].Latin1(), "Low");
    EXPECT_EQ(j["samples"][2]["name"].Latin1(), "High E");
    EXPECT_EQ(testkit::ReadAll(out)[21 + 9], 0xFC); // the name in the code page's bytes

    r = RunCli({"info", out});
    EXPECT_NE(r.out.find("Key map:   C-0..B-3: 1, C-4: 2, C#4: 3, D-4..C-5: 2, C#5..B-7: 3"),
              std::string::npos)
        << r.out;

    const std::string again = dir.File("again.xi");
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--map", "C-4-B-7=4"},
                                               {"--map", "C-4-B-8=1"},
                                               {"--map", "C-4=0"},
                                               {"--map", "C-4"},
                                               {"--vibrato", "4,0,0,0"},
                                               {"--vibrato", "1,2,16,0"},
                                               {"--vibrato", "1,2,3"},
                                               {"--sample-name", "4=x"},
                                               {"--name", "\xE2\x82\xAC"}}) {
        std::vector<std::string> args{"convert", out, again};
        args.insert(args.end(), bad.begin(), bad.end());
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << bad[1];
    }
    EXPECT_FALSE(fs::exists(again));
}

// One sample per audio file, in order, named and tuned by the import; a file cut short is a
// warning, not a failure; more than 16 files is a usage error.
TEST_F(Cli, ImportBuildsAnInstrumentOfOneSamplePerAudioFile) {
    const std::string first = Wav16("Lead take.wav", 1, {5, 6});
    const std::string cut = dir.Write(
        "cut.wav",
        testkit::WavBuilder::Pcm(1, 48000, 16).DataChunk(testkit::Le16Values({9, 10}), 40).Bytes());
    const std::string out = dir.File("built.xi");
    const CliResult r = RunCli({"import", out, first, cut});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: The file ends early"), std::string::npos);
    const JsonValue j = Info(out);
    EXPECT_EQ(j["name"].Latin1(), "Lead take");
    ASSERT_EQ(j["samples"].Size(), 2u);
    EXPECT_EQ(j["samples"][0]["name"].Latin1(), "Lead take");
    EXPECT_EQ(j["samples"][1]["values_fnv1a64"].Latin1(), Fnv({9, 10}));
    EXPECT_EQ(j["samples"][1]["transpose"].Int(), 1);

    std::vector<std::string> tooMany = {"import", out};
    tooMany.insert(tooMany.end(), 17, first);
    EXPECT_EQ(RunCli(tooMany).exitCode, 2);
}

TEST_F(Cli, FailedConvertLeavesNoOrOnlyTheOldOutput) {
    const std::string in = Wav16("in.wav", 1, {1, 2});
    const std::string out = dir.Write("out.xi", std::vector<std::uint8_t>{42});
    const CliResult missing = RunCli({"convert", in, out, "--add", dir.File("none.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("File not found"), std::string::npos);

    std::vector<std::string> tooMany = {"convert", in, out};
    for (int i = 0; i < 16; ++i) {
        tooMany.insert(tooMany.end(), {"--add", in});
    }
    const CliResult full = RunCli(tooMany);
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("at most 16 samples"), std::string::npos);
    EXPECT_EQ(testkit::ReadAll(out), std::vector<std::uint8_t>{42});

    fs::create_directory(dir.File("folder.xi"));
    const CliResult blocked = RunCli({"convert", in, dir.File("folder.xi")});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.err.find("Error opening file for write"), std::string::npos);
}

// Before: a failed load went on with a new instrument's silence, so convert wrote a
// 16,722-byte XI file of it and info described it.
TEST_F(Cli, AFailedLoadWritesNothingAndDescribesNoInstrument) {
    const std::string deep = dir.Write(
        "deep.wav",
        testkit::WavBuilder::Pcm(1, 48000, 24).DataChunk(std::vector<std::uint8_t>(9)).Bytes());
    const std::string text = dir.Write("notes.xi", std::vector<std::uint8_t>(300, 'x'));
    const std::string out = dir.File("out.xi");
    for (const std::string& in : {deep, text, dir.File("missing.wav")}) {
        const CliResult convert = RunCli({"convert", in, out});
        EXPECT_EQ(convert.exitCode, 1) << in;
        EXPECT_FALSE(fs::exists(out)) << in;
        const CliResult plain = RunCli({"info", in});
        EXPECT_EQ(plain.exitCode, 1) << in;
        EXPECT_EQ(plain.out.find("Sample"), std::string::npos) << plain.out;
        const JsonValue j = Info(in, 1);
        EXPECT_EQ(j["samples"].Size(), 0u) << in;
        EXPECT_EQ(j["messages"].Size(), 1u) << in;
    }
}

// Export writes the loop and the rate the tuning plays; both readers take them back, so a
// loop and a tuning survive XI -> WAV -> XI.
TEST_F(Cli, ExportAndImportKeepTheLoopAndTheTuning) {
    XiBuilder xi;
    XiSampleSpec s = XiSampleSpec::Deltas16(std::vector<std::int16_t>(1000, 9));
    s.type = 0x12;
    s.loopStart = 2 * 100;
    s.loopLength = 2 * 300;
    s.relativeNote = 5; // with finetune -28: 22050 Hz at C-5
    s.finetune = -28;
    xi.samples = {s};
    const std::string wav = dir.File("loop.wav");
    ASSERT_EQ(RunCli({"export", dir.Write("loop.xi", xi.Bytes()), wav}).exitCode, 0);
    const std::string back = dir.File("back.xi");
    ASSERT_EQ(RunCli({"import", back, wav}).exitCode, 0);
    for (const std::string& file : {wav, back}) {
        const JsonValue j = Info(file)["samples"][0];
        EXPECT_EQ(j["loop_type"].Int(), 2) << file;
        EXPECT_EQ(j["loop_start"].Int(), 100) << file;
        EXPECT_EQ(j["loop_length"].Int(), 300) << file;
        EXPECT_EQ(j["transpose"].Int(), -12) << file;
        EXPECT_EQ(j["finetune"].Int(), 0) << file;
    }
    EXPECT_EQ(Info(wav)["samples"][0]["rate"].Int(), 22050);
}

TEST_F(Cli, ExportWritesOneSampleAsWav) {
    XiBuilder xi;
    xi.samples = {XiSampleSpec::Deltas16({5, 6}), XiSampleSpec::Deltas8({-1, 2, 3})};
    xi.samples[1].relativeNote = 17; // untuned: 44100 Hz at C-5
    xi.samples[1].finetune = -28;
    const std::string in = dir.Write("two.xi", xi.Bytes());
    const std::string out = dir.File("second.wav");
    const CliResult r = RunCli({"export", in, out, "--sample", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const JsonValue w = Info(out);
    EXPECT_EQ(w["samples"][0]["bits"].Int(), 8);
    EXPECT_EQ(w["samples"][0]["rate"].Int(), 44100);
    EXPECT_EQ(w["samples"][0]["frames"].Int(), 3);
    EXPECT_EQ(w["samples"][0]["values_fnv1a64"].Latin1(), Fnv({-256, 512, 768}));

    ASSERT_EQ(RunCli({"export", in, out}).exitCode, 0); // the current sample: 0
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(), Fnv({5, 6}));
    EXPECT_EQ(RunCli({"export", in, out, "--sample", "2"}).exitCode, 1);
}

TEST_F(Cli, ApplyRunsOneFunctionOrTrimOverTheMarkedFrames) {
    XiBuilder xi;
    xi.samples = {XiSampleSpec::Deltas16({1, 2, 3, 4, 5, 6, 7, 8})};
    const std::string in = dir.Write("in.xi", xi.Bytes());
    const std::string out = dir.File("out.xi");
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "reverse", "--range", "5:2"}).exitCode, 0);
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(), Fnv({1, 2, 6, 5, 4, 3, 7, 8}));
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "flip-by-zero"}).exitCode, 0);
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(),
              Fnv({254, 253, 252, 251, 250, 249, 248, 247}));
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "silence", "--range", "6:-1"}).exitCode, 0);
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(), Fnv({0, 0, 0, 0, 0, 0, 0, 8}));

    // Crop and delete trim the sample; they want a range inside it.
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "crop", "--range", "5:2"}).exitCode, 0);
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(), Fnv({3, 4, 5, 6}));
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "delete", "--range", "2:5"}).exitCode, 0);
    EXPECT_EQ(Info(out)["samples"][0]["values_fnv1a64"].Latin1(), Fnv({1, 2, 7, 8}));
    EXPECT_EQ(RunCli({"apply", in, out, "--function", "delete"}).exitCode, 2);
    EXPECT_EQ(RunCli({"apply", in, out, "--function", "crop", "--range", "20:30"}).exitCode, 1);
}

TEST_F(Cli, ApplyRunsTheFunctionsWithTheirOptions) {
    XiBuilder xi;
    xi.samples = {XiSampleSpec::Deltas16({1400, 1400, 1400, 1400, 1400, 1400, 1400, 1400})};
    const std::string in = dir.Write("in.xi", xi.Bytes());
    const std::string out = dir.File("out.xi");
    const auto values = [&](const std::string& path) {
        return Info(path)["samples"][0]["values_fnv1a64"].Latin1();
    };
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "fade-out"}).exitCode, 0);
    EXPECT_EQ(values(out), Fnv({1400, 1200, 1000, 800, 600, 400, 200, 0}));
    ASSERT_EQ(RunCli({"apply", in, out, "--function", "volume", "--gain", "-6.0206:0", "--db",
                      "--range", "0:3"})
                  .exitCode,
              0);
    EXPECT_EQ(values(out), Fnv({700, 933, 1167, 1400, 1400, 1400, 1400, 1400}));
    if (CanResample()) {
        ASSERT_EQ(RunCli({"apply", in, out, "--function", "resample", "--length", "16"}).exitCode,
                  0);
        EXPECT_EQ(Info(out)["samples"][0]["frames"].Int(), 16);
    }

    ASSERT_EQ(RunCli({"apply", in, out, "--function", "loop-to-range", "--range", "2:5"}).exitCode,
              0);
    const JsonValue looped = Info(out)["samples"][0];
    EXPECT_EQ(looped["loop_start"].Int(), 2);
    EXPECT_EQ(looped["loop_length"].Int(), 4);
    ASSERT_EQ(RunCli({"apply", out, dir.File("faded.xi"), "--function", "crossfade-loop"}).exitCode,
              0);

    // A stereo WAV to mono from its left channel.
    const std::string wav = Wav16("st.wav", 2, {1000, -1000, 3000, -3000, 5000, 7});
    ASSERT_EQ(RunCli({"apply", wav, out, "--function", "to-mono", "--mode", "left"}).exitCode, 0);
    EXPECT_EQ(values(out), Fnv({1000, 3000, 5000}));

    // Functions that cannot run on this sample fail with a message and write nothing.
    const CliResult stereoOnly =
        RunCli({"apply", in, dir.File("no.xi"), "--function", "copy-left"});
    EXPECT_EQ(stereoOnly.exitCode, 1);
    EXPECT_NE(stereoOnly.err.find("stereo"), std::string::npos);
    EXPECT_EQ(RunCli({"apply", in, dir.File("no.xi"), "--function", "trim-after-loop"}).exitCode,
              1);
    EXPECT_FALSE(fs::exists(dir.File("no.xi")));
}

} // namespace
} // namespace sonlet
