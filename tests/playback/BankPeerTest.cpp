// Presets of Debian's General MIDI bank against FluidSynth: the converted instrument in
// tracker playback (sonlet-cli render --tracker) and the saved XI file in openmpt123 must
// follow FluidSynth's render of the preset in pitch and in loudness over attack, sustain and
// release. Skipped when the bank, fluidsynth or openmpt123 is missing.
#include "RunCli.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using testkit::RunCli;

constexpr std::size_t Rate = 44100;
constexpr std::size_t Window = 882;          // 20 ms
constexpr std::size_t Frames = 120 * Window; // 2.4 s
constexpr int ReleaseTicks = 48;             // key-off at 0.96 s, row 8 of the module
constexpr int ReleaseFrame = ReleaseTicks * 882;
const fs::path Bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Left plus right of a 16-bit PCM or 32-bit float stereo WAV file, on a -1..1 scale.
std::vector<double> ReadMono(const std::string& path) {
    const std::vector<std::uint8_t> b = testkit::ReadAll(path);
    std::vector<double> mono;
    std::uint16_t format = 1;
    std::uint16_t bits = 16;
    for (std::size_t at = 12; at + 8 <= b.size();) {
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
                double sum = 0;
                for (std::size_t ch = 0; ch < 2; ++ch) {
                    if (format == 3) {
                        float f = 0;
                        const std::uint32_t raw = Le32(b, p + ch * 4);
                        std::memcpy(&f, &raw, 4);
                        sum += f;
                    } else {
                        sum += static_cast<std::int16_t>(b[p + ch * 2] | b[p + ch * 2 + 1] << 8) /
                               32768.0;
                    }
                }
                mono.push_back(sum);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return mono;
}

// One note on a channel for FluidSynth: 50 ticks a second, key-off after ReleaseTicks.
std::vector<std::uint8_t> NoteFile(int bank, int program, int note) {
    const std::uint8_t ch = bank == 128 ? 9 : 0;
    std::vector<std::uint8_t> track = {0x00,
                                       0xFF,
                                       0x51,
                                       0x03,
                                       0x07,
                                       0xA1,
                                       0x20, // 500000 us
                                       0x00,
                                       static_cast<std::uint8_t>(0xB0 | ch),
                                       0x00,
                                       static_cast<std::uint8_t>(bank == 128 ? 0 : bank),
                                       0x00,
                                       static_cast<std::uint8_t>(0xC0 | ch),
                                       static_cast<std::uint8_t>(program),
                                       0x00,
                                       static_cast<std::uint8_t>(0x90 | ch),
                                       static_cast<std::uint8_t>(note),
                                       100,
                                       ReleaseTicks,
                                       static_cast<std::uint8_t>(0x80 | ch),
                                       static_cast<std::uint8_t>(note),
                                       0,
                                       0x48,
                                       0xFF,
                                       0x2F,
                                       0x00}; // the end 1.44 s later
    std::vector<std::uint8_t> file = {
        'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
        1,   0,   25,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// A one-channel module around a saved XI file: the note on row 0, key-off on row 8, speed 6,
// tempo 125, linear frequencies.
std::vector<std::uint8_t> ModuleAround(const std::vector<std::uint8_t>& xi, int note) {
    std::vector<std::uint8_t> m(336, 0);
    const std::string id = "Extended Module: ";
    std::copy(id.begin(), id.end(), m.begin());
    m[37] = 0x1A;
    const std::string tracker = "MilkyTracker 1.04.00";
    std::copy(tracker.begin(), tracker.end(), m.begin() + 38);
    Put16(m, 58, 0x0104);
    m[60] = 20;
    m[61] = 1;
    for (const auto& [at, v] :
         {std::pair{64, 1}, {68, 1}, {70, 1}, {72, 1}, {74, 1}, {76, 6}, {78, 125}}) {
        Put16(m, static_cast<std::size_t>(at), static_cast<std::uint32_t>(v));
    }
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
    m.insert(m.end(), {9, 0, 0, 0, 0, Rows, 0, static_cast<std::uint8_t>(cells.size()),
                       static_cast<std::uint8_t>(cells.size() >> 8)});
    m.insert(m.end(), cells.begin(), cells.end());
    std::vector<std::uint8_t> ins(33, 0);
    ins[0] = 7;
    ins[1] = 1;
    std::copy(xi.begin() + 21, xi.begin() + 43, ins.begin() + 4);
    ins[27] = xi[296];
    ins[28] = xi[297];
    ins[29] = 40;
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

// Share of the peer's windows above -50 dBFS whose level is within 3 dB of ours, after the
// median offset between the two (the engines' gains differ).
double Contour(const std::vector<double>& ours, const std::vector<double>& peer) {
    const std::vector<double> a = WindowDb(ours);
    const std::vector<double> b = WindowDb(peer);
    std::vector<double> diffs;
    for (std::size_t w = 0; w < b.size(); ++w) {
        if (b[w] > -50.0) {
            diffs.push_back((w < a.size() ? a[w] : -300.0) - b[w]);
        }
    }
    if (diffs.empty()) {
        return 0;
    }
    std::vector<double> sorted = diffs;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    const auto within = std::count_if(diffs.begin(), diffs.end(),
                                      [median](double d) { return std::abs(d - median) <= 3.0; });
    return static_cast<double>(within) / static_cast<double>(diffs.size());
}

// Fundamental of the held part (0.2 .. 0.9 s), by normalised autocorrelation.
double Fundamental(const std::vector<double>& mono) {
    const std::size_t begin = Rate / 5;
    const std::size_t span = Rate / 2;
    if (mono.size() < begin + span + 2000) {
        return 0;
    }
    const auto r = [&](std::size_t lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = begin; i < begin + span; ++i) {
            xy += mono[i] * mono[i + lag];
            xx += mono[i] * mono[i];
            yy += mono[i + lag] * mono[i + lag];
        }
        return xy / std::sqrt(xx * yy + 1e-30);
    };
    std::vector<double> c(2000, 0);
    double top = 0;
    for (std::size_t lag = 20; lag < c.size(); ++lag) {
        c[lag] = r(lag);
        top = std::max(top, c[lag]);
    }
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
    const char* name;
    int bank;
    int program;
    std::vector<int> notes;
    bool pitched;
    // FluidSynth sums the layers of a layered preset; the XI instrument plays the loudest one,
    // so only its pitch is held to the peer's, and only once its stereo samples stay stereo
    // in the saved file.
    bool layered = false;
};

bool Have(const char* command) {
    return std::system((std::string(command) + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(BankPeer, ConvertedPresetsFollowFluidSynth) {
    if (!fs::exists(Bank) || !Have("fluidsynth --version") || !Have("openmpt123 --version")) {
        GTEST_SKIP() << "needs timgm6mb-soundfont, fluidsynth and openmpt123";
    }
    testkit::TempDir dir;
    const std::vector<Case> cases = {{"piano", 0, 0, {48, 60, 72}, true},
                                     {"strings", 0, 48, {48, 60, 72}, true, true},
                                     {"flute", 0, 73, {60, 72, 84}, true},
                                     {"snare", 128, 0, {38, 40}, false}};
    for (const Case& c : cases) {
        const std::string xi = dir.File(std::string(c.name) + ".xi");
        const auto converted =
            RunCli({"bank", Bank.string(), "--preset",
                    std::to_string(c.bank) + ":" + std::to_string(c.program), xi});
        ASSERT_EQ(converted.exitCode, 0) << converted.err;
        // A stereo sample plays at its pitch only where the XI file keeps it stereo.
        const auto info = RunCli({"info", xi});
        const bool stereoKept = info.out.find("2 channel(s)") != std::string::npos;
        for (const int note : c.notes) {
            const std::string stem = dir.File(std::string(c.name) + "-" + std::to_string(note));
            const std::string mid = dir.Write(stem + ".mid", NoteFile(c.bank, c.program, note));
            const std::string fluid = stem + ".fluid.wav";
            const std::string command = "fluidsynth -q -n -i -R 0 -C 0 -r 44100 -F '" + fluid +
                                        "' '" + Bank.string() + "' '" + mid + "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            const std::string ours = stem + ".ours.wav";
            const auto rendered = RunCli({"render", xi, ours, "--note", std::to_string(note),
                                          "--release", std::to_string(ReleaseFrame), "--frames",
                                          std::to_string(Frames), "--tracker"});
            ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
            const std::string module =
                dir.Write(stem + ".xm", ModuleAround(testkit::ReadAll(xi), note));
            const std::string peer = module + ".wav";
            const std::string play =
                "openmpt123 --quiet --render --force --samplerate 44100 --filter 2 "
                "--ramping 0 --float --end-time 2.5 '" +
                module + "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(play.c_str()), 0) << play;

            const std::vector<double> f = ReadMono(fluid);
            const std::vector<double> a = ReadMono(ours);
            const std::vector<double> b = ReadMono(peer);
            const double ca = Contour(a, f);
            const double cb = Contour(b, f);
            std::printf("%-8s note %3d  contour sonlet %5.1f%%  openmpt %5.1f%%", c.name, note,
                        100 * ca, 100 * cb);
            if (!c.layered) {
                EXPECT_GE(ca, 0.8) << c.name << " " << note;
                EXPECT_GE(cb, 0.8) << c.name << " " << note;
            }
            if (c.pitched && (!c.layered || stereoKept)) {
                const double ff = Fundamental(f);
                const double da = 1200.0 * std::log2(Fundamental(a) / ff);
                const double db = 1200.0 * std::log2(Fundamental(b) / ff);
                std::printf("  pitch %.2f Hz, sonlet %+.1f, openmpt %+.1f cents", ff, da, db);
                EXPECT_LE(std::abs(da), 5.0) << c.name << " " << note;
                EXPECT_LE(std::abs(db), 5.0) << c.name << " " << note;
            }
            std::printf("\n");
        }
    }
}

} // namespace
} // namespace sonlet
