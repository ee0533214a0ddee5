// Tracker playback against a peer engine: sonlet-cli render --tracker and openmpt123 play the
// same saved instrument (one note, key-off on row 8) and must agree in loudness, window by
// window, and in pitch; a key map made by sonlet-cli must pick the same samples in both.
// Skipped when openmpt123 or the shared corpus is missing.
#include "RunCli.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "XiBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using testkit::RunCli;

constexpr std::size_t Rate = 44100;
constexpr std::size_t Frames = 3 * Rate;
constexpr std::size_t Window = 882;
constexpr int ReleaseFrame = 42336; // row 8 at speed 6, tempo 125

struct Stereo {
    std::vector<double> left;
    std::vector<double> right;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// The samples of a 16-bit PCM or 32-bit float WAV file, scaled to -1..1.
Stereo ReadWav(const std::string& path) {
    const std::vector<std::uint8_t> b = testkit::ReadAll(path);
    Stereo wav;
    std::size_t at = 12;
    std::uint16_t format = 1;
    std::uint16_t bits = 16;
    while (at + 8 <= b.size()) {
        const std::string id(b.begin() + static_cast<long>(at),
                             b.begin() + static_cast<long>(at) + 4);
        const std::uint32_t size = Le32(b, at + 4);
        if (id == "fmt ") {
            format = static_cast<std::uint16_t>(b[at + 8] | b[at + 9] << 8);
            bits = static_cast<std::uint16_t>(b[at + 22] | b[at + 23] << 8);
        } else if (id == "data") {
            const std::size_t end = std::min<std::size_t>(b.size(), at + 8 + size);
            const std::size_t bytes = bits / 8;
            for (std::size_t p = at + 8; p + 2 * bytes <= end; p += 2 * bytes) {
                for (std::size_t ch = 0; ch < 2; ++ch) {
                    double v = 0;
                    if (format == 3) {
                        float f = 0;
                        const std::uint32_t raw = Le32(b, p + ch * 4);
                        std::memcpy(&f, &raw, 4);
                        v = f;
                    } else {
                        v = static_cast<std::int16_t>(b[p + ch * 2] | b[p + ch * 2 + 1] << 8) /
                            32768.0;
                    }
                    (ch == 0 ? wav.left : wav.right).push_back(v);
                }
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

// A one-channel module around a saved XI file: the note with instrument 1 on row 0, key-off
// on row 8, speed 6, tempo 125, linear frequencies. The tracker name selects FastTracker 2's
// rules in the peer without its forced volume ramps.
std::vector<std::uint8_t> ModuleAround(const std::vector<std::uint8_t>& xi, int note) {
    std::vector<std::uint8_t> m(336, 0);
    const std::string id = "Extended Module: ";
    std::copy(id.begin(), id.end(), m.begin());
    m[37] = 0x1A;
    const std::string tracker = "MilkyTracker 1.04.00";
    std::copy(tracker.begin(), tracker.end(), m.begin() + 38);
    Put16(m, 58, 0x0104);
    m[60] = 20; // header size 276
    m[61] = 1;
    Put16(m, 64, 1);   // song length
    Put16(m, 68, 1);   // channels
    Put16(m, 70, 1);   // patterns
    Put16(m, 72, 1);   // instruments
    Put16(m, 74, 1);   // linear frequency table
    Put16(m, 76, 6);   // speed
    Put16(m, 78, 125); // tempo

    constexpr int Rows = 32;
    std::vector<std::uint8_t> cells;
    for (int row = 0; row < Rows; ++row) {
        if (row == 0) {
            cells.insert(cells.end(), {0x83, static_cast<std::uint8_t>(note + 1), 1});
        } else if (row == 8) {
            cells.insert(cells.end(), {0x81, 97});
        } else {
            cells.push_back(0x80);
        }
    }
    const std::vector<std::uint8_t> pattern{9,
                                            0,
                                            0,
                                            0,
                                            0,
                                            Rows,
                                            0,
                                            static_cast<std::uint8_t>(cells.size()),
                                            static_cast<std::uint8_t>(cells.size() >> 8)};
    m.insert(m.end(), pattern.begin(), pattern.end());
    m.insert(m.end(), cells.begin(), cells.end());

    std::vector<std::uint8_t> ins(33, 0);
    ins[0] = 7; // header size 263
    ins[1] = 1;
    std::copy(xi.begin() + 21, xi.begin() + 43, ins.begin() + 4);
    ins[27] = xi[296];
    ins[28] = xi[297];
    ins[29] = 40; // sample header size
    m.insert(m.end(), ins.begin(), ins.end());
    m.insert(m.end(), xi.begin() + 66, xi.begin() + 296);
    m.insert(m.end(), xi.begin() + 298, xi.end());
    return m;
}

std::vector<double> WindowDb(const std::vector<double>& v) {
    std::vector<double> db;
    for (std::size_t w = 0; (w + 1) * Window <= std::min(v.size(), Frames); ++w) {
        double sum = 0;
        for (std::size_t i = w * Window; i < (w + 1) * Window; ++i) {
            sum += v[i] * v[i];
        }
        db.push_back(10.0 * std::log10(sum / Window + 1e-30));
    }
    return db;
}

// Share of windows within 1 dB and within 2 dB, after the median level offset.
std::pair<double, double> Agreement(const std::vector<double>& ours,
                                    const std::vector<double>& peer) {
    const std::vector<double> a = WindowDb(ours);
    const std::vector<double> b = WindowDb(peer);
    std::vector<double> diffs;
    for (std::size_t w = 0; w < std::min(a.size(), b.size()); ++w) {
        if (b[w] > -50.0) {
            diffs.push_back(a[w] - b[w]);
        }
    }
    if (diffs.empty()) {
        return {1.0, 1.0};
    }
    std::vector<double> sorted = diffs;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    double one = 0;
    double two = 0;
    for (double d : diffs) {
        one += std::abs(d - median) <= 1.0 ? 1 : 0;
        two += std::abs(d - median) <= 2.0 ? 1 : 0;
    }
    return {one / static_cast<double>(diffs.size()), two / static_cast<double>(diffs.size())};
}

// Fundamental of the loudest half second, by normalised autocorrelation.
double Fundamental(const Stereo& s) {
    const std::size_t half = Rate / 2;
    const std::size_t n = std::min(s.left.size(), Frames);
    std::vector<double> mono(n);
    for (std::size_t i = 0; i < n; ++i) {
        mono[i] = s.left[i] + s.right[i];
    }
    std::size_t best = 0;
    double loudest = -1;
    for (std::size_t at = 0; at + half <= n; at += Window) {
        double e = 0;
        for (std::size_t i = at; i < at + half; i += 4) {
            e += mono[i] * mono[i];
        }
        if (e > loudest) {
            loudest = e;
            best = at;
        }
    }
    const std::size_t span = half - 1500;
    const auto r = [&](std::size_t lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = best; i < best + span; ++i) {
            xy += mono[i] * mono[i + lag];
            xx += mono[i] * mono[i];
            yy += mono[i + lag] * mono[i + lag];
        }
        return xy / std::sqrt(xx * yy + 1e-30);
    };
    std::vector<double> c(1500, 0);
    double top = 0;
    for (std::size_t lag = 20; lag < c.size(); ++lag) {
        c[lag] = r(lag);
        top = std::max(top, c[lag]);
    }
    // The first peak near the best one avoids octave errors.
    for (std::size_t lag = 21; lag + 1 < c.size(); ++lag) {
        if (c[lag] >= 0.9 * top && c[lag] >= c[lag - 1] && c[lag] >= c[lag + 1]) {
            const double denom = c[lag - 1] - 2 * c[lag] + c[lag + 1];
            const double shift = denom != 0 ? 0.5 * (c[lag - 1] - c[lag + 1]) / denom : 0;
            return static_cast<double>(Rate) / (static_cast<double>(lag) + shift);
        }
    }
    return 0;
}

struct Case {
    std::string name;
    fs::path xi;
    int note;
    bool pitched;
    // Further arguments of the convert that saves the instrument.
    std::vector<std::string> convertArgs = {};
    // When set, the pitch both renders must have, in Hz.
    double expectedHz = 0;
};

void Compare(const Case& c, testkit::TempDir& dir) {
    SCOPED_TRACE(c.name);
    const std::string saved = dir.File(c.name + ".xi");
    std::vector<std::string> convert{"convert", c.xi.string(), saved};
    convert.insert(convert.end(), c.convertArgs.begin(), c.convertArgs.end());
    auto r = RunCli(convert);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string ours = dir.File(c.name + ".ours.wav");
    r = RunCli({"render", saved, ours, "--note", std::to_string(c.note), "--release",
                std::to_string(ReleaseFrame), "--frames", std::to_string(Frames), "--tracker"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string module =
        dir.Write(c.name + ".xm", ModuleAround(testkit::ReadAll(saved), c.note));
    // The peer writes its render next to the module.
    const std::string peer = module + ".wav";
    const std::string command = "openmpt123 --quiet --render --force --samplerate 44100 "
                                "--filter 2 --ramping 0 --float --end-time 3.2 '" +
                                module + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Stereo a = ReadWav(ours);
    const Stereo b = ReadWav(peer);
    ASSERT_GE(a.left.size(), Frames);
    ASSERT_GE(b.left.size(), Frames / 2);
    const auto [left1, left2] = Agreement(a.left, b.left);
    const auto [right1, right2] = Agreement(a.right, b.right);
    std::printf("%-60s L %5.1f%% %5.1f%%  R %5.1f%% %5.1f%%", c.name.c_str(), 100 * left1,
                100 * left2, 100 * right1, 100 * right2);
    EXPECT_GE(left1, 0.9);
    EXPECT_GE(left2, 0.95);
    EXPECT_GE(right1, 0.9);
    EXPECT_GE(right2, 0.95);
    if (c.pitched) {
        const double fa = Fundamental(a);
        const double fb = Fundamental(b);
        const double cents = 1200.0 * std::log2(fa / fb);
        std::printf("  pitch %.2f / %.2f Hz, %+.1f cents", fa, fb, cents);
        EXPECT_LE(std::abs(cents), 5.0);
        if (c.expectedHz > 0) {
            // The tracker's tuning of a 44100 Hz sample lies 3.4 cents low; another sample
            // would be hundreds of cents away.
            EXPECT_LE(std::abs(1200.0 * std::log2(fa / c.expectedHz)), 10.0) << fa;
        }
    }
    std::printf("\n");
}

// A looped 16-bit tone of `period` frames a period (441 Hz at C-5 for 100): 40 periods, the
// last 20 looped.
testkit::XiSampleSpec ToneSample(std::size_t period) {
    std::vector<std::int16_t> values(40 * period);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double phase =
            2.0 * 3.14159265358979 * static_cast<double>(i % period) / static_cast<double>(period);
        values[i] =
            static_cast<std::int16_t>(12000.0 * std::sin(phase) + 4000.0 * std::sin(3.0 * phase));
    }
    testkit::XiSampleSpec sample = testkit::XiSampleSpec::Deltas16(values);
    sample.type = 0x11;
    sample.loopStart = static_cast<std::uint32_t>(2 * 20 * period);
    sample.loopLength = static_cast<std::uint32_t>(2 * 20 * period);
    sample.relativeNote = 17;
    sample.finetune = -28;
    return sample;
}

testkit::XiBuilder ToneInstrument() {
    testkit::XiBuilder xi;
    xi.samples.push_back(ToneSample(100));
    return xi;
}

void SetPoint(testkit::XiBuilder& xi, std::size_t index, std::uint16_t x, std::uint16_t y) {
    const std::size_t at = 96 + 4 * index;
    xi.block[at] = static_cast<std::uint8_t>(x);
    xi.block[at + 1] = static_cast<std::uint8_t>(x >> 8);
    xi.block[at + 2] = static_cast<std::uint8_t>(y);
}

void SetFadeout(testkit::XiBuilder& xi, std::uint16_t fadeout) {
    xi.block[206] = static_cast<std::uint8_t>(fadeout);
    xi.block[207] = static_cast<std::uint8_t>(fadeout >> 8);
}

// A stereo WAV file of 1.5 s: a 441 Hz tone on the left; on the right silence for the first
// half second, then a tone a fifth above.
std::vector<std::uint8_t> StereoWav() {
    std::vector<std::int16_t> values;
    for (int i = 0; i < 66150; ++i) {
        const double phase = 2.0 * 3.14159265358979 * i / 100.0;
        values.push_back(static_cast<std::int16_t>(12000.0 * std::sin(phase)));
        values.push_back(static_cast<std::int16_t>(i < 22050 ? 0 : 9000.0 * std::sin(1.5 * phase)));
    }
    return testkit::WavBuilder::Pcm(2, 44100, 16).DataChunk(testkit::Le16Values(values)).Bytes();
}

double Rms(const std::vector<double>& v, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) {
        sum += v[i] * v[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

bool HavePeer() { return std::system("openmpt123 --version >/dev/null 2>&1") == 0; }

TEST(TrackerPeer, RendersAgreeWithOpenMpt) {
    if (!HavePeer()) {
        GTEST_SKIP() << "needs openmpt123";
    }
    const std::vector<std::pair<std::string, int>> files{
        {"kmatheussen_radium__locrans_shop_BCLAR01.XI", 60},
        {"kmatheussen_radium__locrans_shop_CHARP01.XI", 48},
        {"kmatheussen_radium__locrans_shop_UPRBS01.XI", 72},
        {"kmatheussen_radium__test_automation_STACKER.XI", 60},
        {"kmatheussen_radium__test_automation_brassy.xi", 55},
        {"kmatheussen_radium__test_automation_clarinet.xi", 60},
        {"warmplace_sunvox__hist-fc818d9_keyboard_piano_piano10.xi", 67},
        {"warmplace_sunvox__pads_desert.xi", 60},
        {"warmplace_sunvox__pads_observer.xi", 53},
        {"warmplace_sunvox__wind_flute1.xi", 62},
        {"warmplace_sunvox__bass_bass03.xi", 48},
        {"warmplace_sunvox__drums_snare_sd12.xi", 60},
    };
    testkit::TempDir dir;

    // One envelope point with sustain: the level holds until key-off, then fades.
    testkit::XiBuilder held = ToneInstrument();
    SetPoint(held, 0, 0, 40);
    held.block[192] = 1;     // points
    held.block[194] = 0;     // sustain point
    held.block[200] = 1 | 2; // on, sustain
    SetFadeout(held, 600);
    Compare({"built_one_point_sustain", dir.Write("held.xi", held.Bytes()), 60, true}, dir);

    // A looped envelope and auto-vibrato of type 2 with a sweep.
    testkit::XiBuilder looped = ToneInstrument();
    SetPoint(looped, 0, 0, 64);
    SetPoint(looped, 1, 10, 16);
    SetPoint(looped, 2, 25, 64);
    looped.block[192] = 3;
    looped.block[195] = 0;     // loop start point
    looped.block[196] = 2;     // loop end point
    looped.block[200] = 1 | 4; // on, loop
    looped.block[202] = 2;     // vibrato type
    looped.block[203] = 20;    // sweep
    looped.block[204] = 12;    // depth
    looped.block[205] = 24;    // rate
    SetFadeout(looped, 300);
    Compare({"built_loop_vibrato", dir.Write("looped.xi", looped.Bytes()), 60, true}, dir);

    // A panning envelope that waits at its sustain point before key-off stays there.
    testkit::XiBuilder panned = ToneInstrument();
    SetPoint(panned, 0, 0, 64);
    panned.block[192] = 1;
    panned.block[200] = 1 | 2;
    for (const auto& [index, x, y] : {std::tuple{0, 0, 64}, {1, 40, 0}, {2, 80, 32}}) {
        SetPoint(panned, static_cast<std::size_t>(index) + 12, static_cast<std::uint16_t>(x),
                 static_cast<std::uint16_t>(y));
    }
    panned.block[193] = 3;
    panned.block[197] = 1;     // sustain point
    panned.block[201] = 1 | 2; // on, sustain
    panned.samples[0].panning = 160;
    SetFadeout(panned, 100);
    Compare({"built_pan_sustain", dir.Write("panned.xi", panned.Bytes()), 60, true}, dir);

    // A stereo sample, saved with its two channels apart, must play in stereo in the peer.
    Compare({"built_stereo", dir.Write("stereo.wav", StereoWav()), 60, true}, dir);
    const Stereo peer = ReadWav(dir.File("built_stereo.xm.wav"));
    EXPECT_LT(Rms(peer.right, 4410, 17640), 0.01 * Rms(peer.left, 4410, 17640));
    EXPECT_GT(Rms(peer.right, 26460, 39690), 0.3 * Rms(peer.left, 26460, 39690));
    // Three samples of different pitch, each on its own key range by sonlet-cli's --map: a
    // note in each range must play its own sample in both engines.
    testkit::XiBuilder ranges;
    for (const std::size_t period : {100, 75, 60}) {
        ranges.samples.push_back(ToneSample(period));
    }
    const std::string rangesXi = dir.Write("ranges.xi", ranges.Bytes());
    const std::vector<std::string> map{"--map",     "0-47=1", "--map",
                                       "C-4-B-4=2", "--map",  "C-5-B-7=3"};
    for (const auto& [note, period] : {std::pair{36, 100}, {52, 75}, {67, 60}}) {
        const double hz = 44100.0 / period * std::pow(2.0, (note - 60) / 12.0);
        Compare({"built_three_ranges_note_" + std::to_string(note), rangesXi, note, true, map, hz},
                dir);
    }

    const fs::path corpus = testkit::CorpusDir("xi");
    if (corpus.empty()) {
        GTEST_SKIP() << "the shared corpus is not present";
    }
    for (const auto& [file, note] : files) {
        Compare({file.substr(0, file.find('.')), corpus / file, note,
                 file.find("snare") == std::string::npos},
                dir);
    }
}

} // namespace
} // namespace sonlet
