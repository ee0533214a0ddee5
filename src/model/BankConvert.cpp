// A bank's preset as an XI instrument: the zones become samples on their key ranges, the
// zone parameters become the sample and instrument fields a tracker plays.
#include "model/AudioImport.h"
#include "model/BankImport.h"
#include "model/Instrument.h"
#include "model/XiLayout.h"
#include "support/Report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <new>
#include <set>

namespace sonlet {

namespace {

constexpr double TicksPerSecond = 50.0;
// The velocity whose zones the key map follows.
constexpr std::int32_t MapVelocity = 100;
constexpr std::int32_t MapNotes = static_cast<std::int32_t>(xi::KeyMapLength);
// The tracker's auto-vibrato: depth d swings the pitch by d/64 semitone, rate r advances
// 256 steps a cycle by r each tick.
constexpr double CentsPerVibratoStep = 100.0 / 64.0;
constexpr std::int32_t MaxVibratoDepth = 15;
constexpr std::int32_t MaxVibratoRate = 63;
// A fade of f per tick silences a note after 32768 / f ticks; trackers keep f below 4096.
constexpr double FadeTicks = 32768.0;
constexpr std::int32_t MaxFadeout = 4095;
// Below this the envelope is taken as silent.
constexpr double SilentDb = 96.0;
// The release a fadeout reproduces: the time the bank's exponential release takes to fall
// this far, which is where most of what one hears of it ends.
constexpr double ReleaseFallDb = 40.0;

// A sample of the instrument: one bank sample, or a linked pair as one stereo sample.
struct Unit {
    std::int32_t left = -1;
    std::int32_t right = -1;
    bool operator<(const Unit& o) const { return left != o.left ? left < o.left : right < o.right; }
    bool operator==(const Unit& o) const { return left == o.left && right == o.right; }
};

struct Voice {
    BankZone zone;
    Unit unit;
    bool stereo = false;
};

bool Covers(const BankZone& z, std::int32_t key, std::int32_t velocity) {
    return key >= z.keyLow && key <= z.keyHigh && velocity >= z.velLow && velocity <= z.velHigh;
}

// Joins the two zones of a linked pair over the same ranges into one stereo voice.
std::vector<Voice> PairVoices(const std::vector<BankZone>& zones,
                              const std::vector<BankSampleInfo>& samples) {
    std::vector<Voice> voices;
    std::vector<bool> used(zones.size(), false);
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (used[i]) {
            continue;
        }
        const BankZone& z = zones[i];
        const BankSampleInfo& info = samples[static_cast<std::size_t>(z.sample)];
        Voice voice{z, {z.sample, -1}, info.channels == 2};
        // Banks also make stereo of two mono samples of one length panned apart on the same
        // ranges, without linking them.
        const auto pairs = [&](const BankZone& w) {
            const BankSampleInfo& other = samples[static_cast<std::size_t>(w.sample)];
            if (info.side != BankChannel::Mono && info.linked >= 0) {
                return w.sample == info.linked;
            }
            return other.channels == 1 && w.sample != z.sample && other.frames == info.frames &&
                   w.rootKey == z.rootKey &&
                   ((z.pan <= -0.9 && w.pan >= 0.9) || (z.pan >= 0.9 && w.pan <= -0.9));
        };
        if (info.channels == 1) {
            for (std::size_t j = i + 1; j < zones.size(); ++j) {
                const BankZone& w = zones[j];
                if (!used[j] && w.keyLow == z.keyLow && w.keyHigh == z.keyHigh &&
                    w.velLow == z.velLow && w.velHigh == z.velHigh && pairs(w)) {
                    used[j] = true;
                    const bool zIsLeft = info.side == BankChannel::Left ||
                                         (info.side == BankChannel::Mono && z.pan < 0);
                    voice.unit = {zIsLeft ? z.sample : w.sample, zIsLeft ? w.sample : z.sample};
                    voice.stereo = true;
                    voice.zone.pan = 0;
                    break;
                }
            }
        }
        used[i] = true;
        voices.push_back(voice);
    }
    return voices;
}

std::size_t UnitCount(const std::vector<Voice>& voices) {
    std::set<Unit> units;
    for (const Voice& v : voices) {
        units.insert(v.unit);
    }
    return units.size();
}

// Keeps at most 16 samples: the velocity layer the key map plays, neighbouring ranges of one
// sample joined, then the narrowest ranges dropped.
std::int32_t ReduceToSixteen(std::vector<Voice>& voices) {
    if (UnitCount(voices) <= static_cast<std::size_t>(MaxSamples)) {
        return 0;
    }
    const std::size_t before = UnitCount(voices);
    std::erase_if(voices, [](const Voice& v) {
        return v.zone.velLow > MapVelocity || v.zone.velHigh < MapVelocity;
    });
    std::sort(voices.begin(), voices.end(),
              [](const Voice& a, const Voice& b) { return a.zone.keyLow < b.zone.keyLow; });
    std::vector<Voice> joined;
    for (const Voice& v : voices) {
        if (!joined.empty() && joined.back().unit == v.unit &&
            joined.back().zone.keyHigh + 1 >= v.zone.keyLow) {
            joined.back().zone.keyHigh = std::max(joined.back().zone.keyHigh, v.zone.keyHigh);
        } else {
            joined.push_back(v);
        }
    }
    voices = std::move(joined);
    while (UnitCount(voices) > static_cast<std::size_t>(MaxSamples)) {
        // Of equally narrow ranges the quietest goes first (a drum kit keeps its loud pieces).
        std::map<Unit, std::pair<std::int32_t, double>> width;
        for (const Voice& v : voices) {
            auto& w = width[v.unit];
            w.first += v.zone.keyHigh - v.zone.keyLow + 1;
            w.second = std::max(w.second, v.zone.attenuationDb);
        }
        const auto narrowest =
            std::min_element(width.begin(), width.end(), [](const auto& a, const auto& b) {
                return a.second.first != b.second.first ? a.second.first < b.second.first
                                                        : a.second.second > b.second.second;
            });
        const Unit gone = narrowest->first;
        std::erase_if(voices, [&gone](const Voice& v) { return v.unit == gone; });
    }
    return static_cast<std::int32_t>(before - UnitCount(voices));
}

// The voice each note of the key map plays: the loudest zone covering it at velocity 100, or
// the nearest zone in key.
std::vector<std::size_t> MapNotesToVoices(const std::vector<Voice>& voices, bool& layered) {
    std::vector<std::size_t> chosen(MapNotes, 0);
    layered = false;
    for (std::int32_t note = 0; note < MapNotes; ++note) {
        std::size_t best = voices.size();
        std::int32_t distance = 1 << 30;
        std::set<Unit> sounding;
        for (std::size_t i = 0; i < voices.size(); ++i) {
            const BankZone& z = voices[i].zone;
            const bool velocityOk = z.velLow <= MapVelocity && z.velHigh >= MapVelocity;
            if (Covers(z, note, MapVelocity)) {
                sounding.insert(voices[i].unit);
                if (distance > 0 || z.attenuationDb < voices[best].zone.attenuationDb) {
                    best = i;
                }
                distance = 0;
                continue;
            }
            // Notes outside every zone take the nearest one; a zone of another velocity
            // layer only when no zone plays at velocity 100.
            const std::int32_t d =
                std::max(z.keyLow - note, note - z.keyHigh) + (velocityOk ? 0 : 1000);
            if (d < distance) {
                distance = d;
                best = i;
            }
        }
        layered = layered || sounding.size() > 1;
        chosen[static_cast<std::size_t>(note)] = best;
    }
    return chosen;
}

std::int8_t PanningOf(double pan) {
    return static_cast<std::int8_t>(std::clamp(std::round(pan * 128.0), -128.0, 127.0));
}

std::uint8_t VolumeOf(double attenuationDb) {
    return static_cast<std::uint8_t>(
        std::clamp(std::round(64.0 * std::pow(10.0, -attenuationDb / 20.0)), 0.0, 64.0));
}

// The tuning at which key rootKey plays a sample of rate at its own pitch, with cents more.
SampleTuning TuningOf(double rate, std::int32_t rootKey, double cents) {
    const double shifted = rate * std::exp2(((60 - rootKey) * 100.0 + cents) / 1200.0);
    return TuningForRate(shifted, 2);
}

std::unique_ptr<TSample> BuildSample(TSoundBank& bank, const Unit& unit) {
    const auto& samples = bank.Samples();
    std::vector<std::int16_t> left;
    if (!bank.ReadValues(static_cast<std::size_t>(unit.left), left)) {
        return nullptr;
    }
    const BankSampleInfo& info = samples[static_cast<std::size_t>(unit.left)];
    auto sample = std::make_unique<TSample>();
    std::int64_t channels = unit.right >= 0 ? 2 : std::clamp<std::int64_t>(info.channels, 1, 2);
    std::vector<std::int16_t> right;
    if (unit.right >= 0 && !bank.ReadValues(static_cast<std::size_t>(unit.right), right)) {
        return nullptr;
    }
    const std::int64_t frames = unit.right >= 0
                                    ? static_cast<std::int64_t>(std::max(left.size(), right.size()))
                                    : static_cast<std::int64_t>(left.size()) / channels;
    sample->SetFormat(channels, 2, info.rate > 0 ? info.rate : 44100, frames * channels * 2);
    std::int16_t* out = sample->Data16.Data();
    if (unit.right >= 0) {
        for (std::int64_t f = 0; f < frames; ++f) {
            const auto at = static_cast<std::size_t>(f);
            out[2 * f] = at < left.size() ? left[at] : std::int16_t{0};
            out[2 * f + 1] = at < right.size() ? right[at] : std::int16_t{0};
        }
    } else {
        std::copy_n(left.begin(), frames * channels, out);
    }
    sample->ResetParams();
    sample->SampleName = info.name.substr(0, MaxSampleNameLength);
    // The XI writer keeps a sample's name bytes as they were read: a new sample's are its name.
    std::copy(sample->SampleName.begin(), sample->SampleName.end(),
              sample->XiHeader.begin() + xi::SampleNameOffset);
    sample->ClearMarks();
    return sample;
}

void SetLoop(TSample& sample, BankLoop loop, std::int64_t start, std::int64_t end) {
    end = std::min(end, sample.NumFrames);
    // A loop of one frame or less plays nothing a tracker can hold.
    if (loop == BankLoop::None || start + 1 >= end) {
        sample.LoopType = LoopNone;
        sample.LoopStart = -1;
        sample.LoopLength = 0;
    } else {
        sample.LoopType = LoopForward;
        sample.LoopStart = start;
        sample.LoopLength = end - start;
    }
    sample.UpdateRanges();
}

// The volume envelope: delay, attack and hold, the decay to the sustain level as an
// exponential curve in the points left, the sustain point at its end.
void SetEnvelope(TInstrument& inst, const BankEnvelope& env) {
    std::vector<EnvelopePoint> points;
    double at = 0;
    const auto add = [&points](double seconds, double level) {
        const auto x = static_cast<std::uint16_t>(
            std::clamp(std::round(seconds * TicksPerSecond), 0.0, 65535.0));
        const auto y = static_cast<std::uint16_t>(std::clamp(std::round(level * 64.0), 0.0, 64.0));
        if (!points.empty() && x <= points.back().X) {
            points.back().Y = y;
            return;
        }
        points.push_back({x, y});
    };
    if (env.delay > 0 || env.attack * TicksPerSecond >= 0.5) {
        add(0, 0);
        at += env.delay;
        add(at, 0);
        at += env.attack;
    }
    add(at, 1);
    at += env.hold;
    add(at, 1);
    const double sustainDb = std::clamp(env.sustainDb, 0.0, 100.0);
    if (sustainDb > 0 && env.decay > 0) {
        // The bank's decay time is the time a fall of 100 dB takes.
        const double length = env.decay * std::min(sustainDb, SilentDb) / 100.0;
        const std::size_t steps = std::clamp<std::size_t>(EnvelopePointCount - points.size(), 1, 6);
        for (std::size_t i = 1; i <= steps; ++i) {
            const double db = sustainDb * static_cast<double>(i) / static_cast<double>(steps);
            const double level = db >= SilentDb ? 0.0 : std::pow(10.0, -db / 20.0);
            add(at + length * static_cast<double>(i) / static_cast<double>(steps), level);
        }
    } else if (sustainDb > 0) {
        add(at, sustainDb >= SilentDb ? 0.0 : std::pow(10.0, -sustainDb / 20.0));
    }
    inst.VolPoints = {};
    std::copy(points.begin(), points.end(), inst.VolPoints.begin());
    inst.VolEnv = {};
    inst.VolEnv.Count = static_cast<std::uint8_t>(points.size());
    inst.VolEnv.Sustain = static_cast<std::uint8_t>(points.size() - 1);
    inst.VolEnv.Enabled = 1;
    inst.VolEnv.SustainOn = 1;
    inst.PanEnv = {};
    inst.PanPoints = {};

    const double release = env.release * ReleaseFallDb / 100.0;
    const double fade = FadeTicks / std::max(release * TicksPerSecond, 1.0);
    inst.Fadeout =
        static_cast<std::uint16_t>(std::clamp(std::round(fade), 1.0, double{MaxFadeout}));
}

void SetVibrato(TInstrument& inst, const BankZone& zone, BankConversionNotes& notes) {
    auto& b = inst.XiBlock;
    const double depth = std::round(std::abs(zone.vibratoCents) / CentsPerVibratoStep);
    if (depth < 1) {
        b[xi::VibratoTypeOffset] = b[xi::VibratoSweepOffset] = 0;
        b[xi::VibratoDepthOffset] = b[xi::VibratoRateOffset] = 0;
        return;
    }
    if (depth > MaxVibratoDepth) {
        notes.leftOut.push_back("vibrato deeper than 23 cents");
    }
    b[xi::VibratoTypeOffset] = 0;
    b[xi::VibratoDepthOffset] = static_cast<std::uint8_t>(std::min<double>(depth, MaxVibratoDepth));
    b[xi::VibratoRateOffset] = static_cast<std::uint8_t>(std::clamp(
        std::round(zone.vibratoHz * 256.0 / TicksPerSecond), 1.0, double{MaxVibratoRate}));
    // The bank waits and then swings fully; the tracker grows the swing over the sweep.
    b[xi::VibratoSweepOffset] = static_cast<std::uint8_t>(
        std::clamp(std::round(zone.vibratoDelay * TicksPerSecond), 0.0, 255.0));
}

void NoteOnce(BankConversionNotes& notes, bool condition, const char* text) {
    if (condition &&
        std::find(notes.leftOut.begin(), notes.leftOut.end(), text) == notes.leftOut.end()) {
        notes.leftOut.emplace_back(text);
    }
}

bool SameEnvelope(const BankEnvelope& a, const BankEnvelope& b) {
    const auto near = [](double x, double y) {
        return std::abs(x - y) <= 0.02 + 0.05 * std::abs(x);
    };
    return near(a.delay, b.delay) && near(a.attack, b.attack) && near(a.hold, b.hold) &&
           near(a.decay, b.decay) && std::abs(a.sustainDb - b.sustainDb) <= 1.0 &&
           near(a.release, b.release);
}

} // namespace

std::string BankConversionNotes::Summary() const {
    std::string text;
    if (droppedSamples > 0) {
        text = std::to_string(droppedSamples) + " samples beyond 16 dropped";
    }
    for (const std::string& item : leftOut) {
        text += (text.empty() ? "" : "; ") + item;
    }
    return text.empty() ? text : "left out: " + text;
}

bool ConvertPreset(TSoundBank& bank, std::size_t preset, TInstrument& inst,
                   BankConversionNotes& notes) {
    notes = {};
    if (preset >= bank.Presets().size()) {
        ShowError("The bank has no such preset");
        return false;
    }
    std::vector<BankZone> zones = bank.Zones(preset);
    const auto& samples = bank.Samples();
    std::erase_if(zones, [&samples](const BankZone& z) {
        return z.sample < 0 || static_cast<std::size_t>(z.sample) >= samples.size() ||
               z.keyLow > z.keyHigh || z.velLow > z.velHigh;
    });
    if (zones.empty()) {
        ShowError("The preset " + bank.Presets()[preset].name + " has no sample to convert");
        return false;
    }
    std::vector<Voice> voices = PairVoices(zones, samples);
    const bool otherLayers = std::any_of(voices.begin(), voices.end(), [](const Voice& v) {
        return v.zone.velLow > MapVelocity || v.zone.velHigh < MapVelocity;
    });
    notes.droppedSamples = ReduceToSixteen(voices);

    bool layered = false;
    const std::vector<std::size_t> chosen = MapNotesToVoices(voices, layered);
    // Each unit's parameters come from the voice that plays it on the most keys.
    std::map<Unit, std::map<std::size_t, std::int32_t>> keysOf;
    for (const std::size_t v : chosen) {
        ++keysOf[voices[v].unit][v];
    }
    std::vector<std::pair<Unit, std::size_t>> units;
    std::set<Unit> seen;
    std::vector<std::size_t> order(voices.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&voices](std::size_t a, std::size_t b) {
        return voices[a].zone.keyLow < voices[b].zone.keyLow;
    });
    for (const std::size_t i : order) {
        const Unit u = voices[i].unit;
        if (!seen.insert(u).second) {
            continue;
        }
        std::size_t best = i;
        if (const auto found = keysOf.find(u); found != keysOf.end()) {
            best =
                std::max_element(found->second.begin(), found->second.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; })
                    ->first;
        }
        units.emplace_back(u, best);
    }

    inst.Clear();
    std::map<Unit, std::uint8_t> indexOf;
    try {
        for (const auto& [unit, v] : units) {
            const BankZone& zone = voices[v].zone;
            std::unique_ptr<TSample> sample = BuildSample(bank, unit);
            if (!sample) {
                return false;
            }
            const SampleTuning tuning = TuningOf(samples[static_cast<std::size_t>(unit.left)].rate,
                                                 zone.rootKey, zone.tuneCents);
            sample->Transpose = tuning.Transpose;
            sample->Finetune = tuning.Finetune;
            sample->Volume = VolumeOf(zone.attenuationDb);
            sample->Panning = PanningOf(zone.pan);
            SetLoop(*sample, zone.loop, zone.loopStart, zone.loopEnd);
            indexOf[unit] = static_cast<std::uint8_t>(inst.SampleCount);
            inst.AdoptSample(std::move(sample));
        }
    } catch (const std::bad_alloc&) {
        ShowError("Not enough memory to convert the preset " + bank.Presets()[preset].name);
        return false;
    }
    inst.SetCurrentSample(0);
    for (std::int32_t note = 0; note < MapNotes; ++note) {
        inst.XiBlock[xi::KeyMapOffset + static_cast<std::size_t>(note)] =
            indexOf[voices[chosen[static_cast<std::size_t>(note)]].unit];
    }

    // The instrument-wide envelope and vibrato follow the zone at C-5.
    const BankZone& middle = voices[chosen[60]].zone;
    SetEnvelope(inst, middle.volume);
    SetVibrato(inst, middle, notes);
    inst.InstrumentName = bank.Presets()[preset].name.substr(0, xi::NameLength);
    inst.PackParams();

    bool otherEnvelopes = false;
    bool untilRelease = false;
    bool filter = false;
    bool lfo = false;
    bool modEnv = false;
    bool keyScaled = false;
    bool scale = false;
    for (const Voice& v : voices) {
        otherEnvelopes = otherEnvelopes || !SameEnvelope(v.zone.volume, middle.volume);
        untilRelease = untilRelease || v.zone.loop == BankLoop::UntilRelease;
        filter = filter || v.zone.filter;
        lfo = lfo || v.zone.modulationLfo;
        modEnv = modEnv || v.zone.modulationEnvelope;
        keyScaled = keyScaled || v.zone.keyScaledEnvelope;
        scale = scale || v.zone.scaleTuning != 100;
    }
    NoteOnce(notes, layered, "layered voices (the loudest plays)");
    NoteOnce(notes, otherLayers, "velocity layers other than the one at velocity 100");
    NoteOnce(notes, otherEnvelopes, "the envelopes of zones other than the one at C-5");
    NoteOnce(notes, untilRelease, "loops ending at release (they play on)");
    NoteOnce(notes, filter, "filters");
    NoteOnce(notes, lfo, "the modulation LFO");
    NoteOnce(notes, modEnv, "the modulation envelope");
    NoteOnce(notes, keyScaled, "envelope times scaled by key");
    NoteOnce(notes, scale, "scale tuning other than 100 cents a key");
    if (notes.droppedSamples > 0) {
        ShowWarning("The preset " + bank.Presets()[preset].name + " uses more than 16 samples: " +
                    std::to_string(notes.droppedSamples) + " were dropped.");
    }
    return true;
}

std::unique_ptr<TSample> BankSampleToSample(TSoundBank& bank, std::size_t index) {
    if (index >= bank.Samples().size()) {
        return nullptr;
    }
    const BankSampleInfo& info = bank.Samples()[index];
    std::unique_ptr<TSample> sample;
    try {
        sample = BuildSample(bank, {static_cast<std::int32_t>(index), -1});
    } catch (const std::bad_alloc&) {
        ShowError("Not enough memory to import " + info.name);
        return nullptr;
    }
    if (!sample) {
        return nullptr;
    }
    const SampleTuning tuning = TuningOf(info.rate, info.rootKey, info.correctionCents);
    sample->Transpose = tuning.Transpose;
    sample->Finetune = tuning.Finetune;
    SetLoop(*sample, info.loopEnd > info.loopStart ? BankLoop::Continuous : BankLoop::None,
            info.loopStart, info.loopEnd);
    return sample;
}

std::string PresetFileName(const BankPreset& preset) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d-%03d ", std::clamp(preset.bank, 0, 999),
                  std::clamp(preset.program, 0, 999));
    std::string name;
    for (const char c : preset.name) {
        const auto u = static_cast<unsigned char>(c);
        name +=
            (u < 32 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) ? '_' : c;
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) {
        name.pop_back();
    }
    return std::string(number) + (name.empty() ? "preset" : name) + ".xi";
}

bool IsBankFileName(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    std::string ext(fileName.substr(dot + 1));
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == "sf2" || ext == "sf3" || ext == "dls";
}

} // namespace sonlet
