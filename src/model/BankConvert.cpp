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

// The voices covering note at velocity 100.
std::vector<std::size_t> Covering(const std::vector<Voice>& voices, std::int32_t note) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        if (Covers(voices[i].zone, note, MapVelocity)) {
            found.push_back(i);
        }
    }
    return found;
}

// The power of a unit's values in dB of full scale: layers of one note differ in the level of
// their samples as much as in their attenuation.
double SampleLevelDb(TSoundBank& bank, const Unit& unit) {
    double sum = 0;
    std::size_t count = 0;
    std::vector<std::int16_t> values;
    for (const std::int32_t index : {unit.left, unit.right}) {
        if (index < 0 || !bank.ReadValues(static_cast<std::size_t>(index), values)) {
            continue;
        }
        for (const std::int16_t v : values) {
            sum += static_cast<double>(v) * v;
        }
        count += values.size();
    }
    if (count == 0) {
        return -SilentDb;
    }
    return 10.0 * std::log10(sum / (32768.0 * 32768.0 * static_cast<double>(count)) + 1e-10);
}

// How far below full scale each voice sounds: its attenuation, less its sample's level where
// it sounds together with another sample on some note (only there does the level decide).
std::vector<double> QuietDb(TSoundBank& bank, const std::vector<Voice>& voices) {
    std::vector<bool> competing(voices.size(), false);
    for (std::int32_t note = 0; note < MapNotes; ++note) {
        const std::vector<std::size_t> covering = Covering(voices, note);
        std::set<Unit> units;
        for (const std::size_t i : covering) {
            units.insert(voices[i].unit);
        }
        for (const std::size_t i : covering) {
            competing[i] = competing[i] || units.size() > 1;
        }
    }
    std::vector<double> quiet(voices.size());
    std::map<Unit, double> levelOf;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        quiet[i] = voices[i].zone.attenuationDb;
        if (competing[i]) {
            const auto [at, fresh] = levelOf.try_emplace(voices[i].unit, 0.0);
            if (fresh) {
                at->second = SampleLevelDb(bank, voices[i].unit);
            }
            quiet[i] -= at->second;
        }
    }
    return quiet;
}

// The voice each note of the key map plays: the loudest zone covering it at velocity 100, or
// the nearest zone in key.
std::vector<std::size_t> MapNotesToVoices(const std::vector<Voice>& voices,
                                          const std::vector<double>& quietDb, bool& layered) {
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
                if (distance > 0 || quietDb[i] < quietDb[best]) {
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

// A voice sounding at C-5: its envelope and its power at full level.
struct Layer {
    BankEnvelope env;
    double power = 1;
};

double Amplitude(double db) { return db >= SilentDb ? 0.0 : std::pow(10.0, -db / 20.0); }

// The level (0..1) of an envelope t seconds after the note starts, the key held.
double HeldLevel(const BankEnvelope& e, double t) {
    if (t < e.delay) {
        return 0;
    }
    t -= e.delay;
    if (t < e.attack) {
        return t / e.attack;
    }
    t -= e.attack + e.hold;
    const double sustainDb = std::clamp(e.sustainDb, 0.0, 100.0);
    if (t < 0) {
        return 1;
    }
    // The bank's decay time is the time a fall of 100 dB takes.
    return Amplitude(e.decay > 0 ? std::min(sustainDb, 100.0 * t / e.decay) : sustainDb);
}

// The level t seconds after the key is let go at the sustain level, or at full level for an
// envelope that decays to silence (the key goes up on its way there); the release falls 100 dB
// in its time.
double ReleasedLevel(const BankEnvelope& e, double t, bool fromFull) {
    const double db = (fromFull ? 0.0 : std::clamp(e.sustainDb, 0.0, 100.0)) +
                      (e.release > 0 ? 100.0 * t / e.release : SilentDb);
    return Amplitude(db);
}

// The level of all layers together, as their powers add.
template <typename LevelAt> double Mixed(const std::vector<Layer>& layers, LevelAt levelAt) {
    double sum = 0;
    double total = 0;
    for (const Layer& layer : layers) {
        const double a = levelAt(layer.env);
        sum += layer.power * a * a;
        total += layer.power;
    }
    return total > 0 ? std::sqrt(sum / total) : 0.0;
}

double Db(double level) { return 20.0 * std::log10(std::max(level, 1e-3)); }

// Drops the inner points the curve misses least (in dB) until at most count are left.
void Simplify(std::vector<EnvelopePoint>& points, std::size_t count) {
    while (points.size() > count && points.size() > 2) {
        std::size_t best = 1;
        double bestError = 1e30;
        for (std::size_t i = 1; i + 1 < points.size(); ++i) {
            const EnvelopePoint& a = points[i - 1];
            const EnvelopePoint& b = points[i + 1];
            const double f = static_cast<double>(points[i].X - a.X) / (b.X - a.X);
            const double between = a.Y + f * (b.Y - a.Y);
            const double error = std::abs(Db(between / 64.0) - Db(points[i].Y / 64.0));
            if (error < bestError) {
                bestError = error;
                best = i;
            }
        }
        points.erase(points.begin() + static_cast<std::ptrdiff_t>(best));
    }
}

// The volume envelope of the layers sounding at C-5 (one, unless the preset layers voices):
// delay, attack and hold, the decay to the sustain level as a curve in dB, the sustain point
// at its end; the release as the fadeout that ends it when it has fallen ReleaseFallDb, with
// points after the sustain point that shape the fade as the bank's release falls in dB.
void SetEnvelope(TInstrument& inst, const std::vector<Layer>& layers) {
    std::vector<double> knots = {0};
    double sustainAt = 0;
    for (const Layer& layer : layers) {
        const BankEnvelope& e = layer.env;
        const double decayed = e.delay + e.attack + e.hold;
        knots.insert(knots.end(), {e.delay, e.delay + e.attack, decayed});
        const double sustainDb = std::clamp(e.sustainDb, 0.0, 100.0);
        const double length = e.decay * std::min(sustainDb, SilentDb) / 100.0;
        constexpr int DecaySteps = 6;
        for (int i = 1; sustainDb > 0 && e.decay > 0 && i <= DecaySteps; ++i) {
            knots.push_back(decayed + length * i / DecaySteps);
        }
        sustainAt = std::max(sustainAt, decayed + (e.decay > 0 ? length : 0.0));
    }
    std::sort(knots.begin(), knots.end());
    std::vector<EnvelopePoint> points;
    double peak = 0;
    for (const double t : knots) {
        peak =
            std::max(peak, Mixed(layers, [t](const BankEnvelope& e) { return HeldLevel(e, t); }));
    }
    const auto tick = [](double seconds) {
        return static_cast<std::uint16_t>(
            std::clamp(std::round(seconds * TicksPerSecond), 0.0, 65535.0));
    };
    const auto add = [&points](std::uint16_t x, double level) {
        const auto y = static_cast<std::uint16_t>(std::clamp(std::round(level * 64.0), 0.0, 64.0));
        // Of times within one tick the later counts: the attack's peak over its start.
        if (!points.empty() && x <= points.back().X) {
            points.back().Y = y;
            return;
        }
        points.push_back({x, y});
    };
    for (const double t : knots) {
        add(tick(t), Mixed(layers, [t](const BankEnvelope& e) { return HeldLevel(e, t); }) /
                         std::max(peak, 1e-9));
    }
    const double sustain =
        Mixed(layers,
              [sustainAt](const BankEnvelope& e) { return HeldLevel(e, sustainAt + 1.0); }) /
        std::max(peak, 1e-9);

    // The release: the time the layers take to fall ReleaseFallDb together.
    const bool fromFull =
        Mixed(layers, [](const BankEnvelope& e) { return ReleasedLevel(e, 0, false); }) <= 0;
    const auto released = [&layers, fromFull](double t) {
        return Mixed(layers, [t, fromFull](
                                 const BankEnvelope& e) { return ReleasedLevel(e, t, fromFull); }) /
               std::max(Mixed(layers,
                              [fromFull](const BankEnvelope& e) {
                                  return ReleasedLevel(e, 0, fromFull);
                              }),
                        1e-9);
    };
    // The layers fall together without rising again: the time of a fall is found by halving.
    constexpr double LongestRelease = 100.0;
    const auto fallen = [&released](double db) {
        double low = 0;
        double high = LongestRelease;
        for (int i = 0; i < 40; ++i) {
            const double mid = 0.5 * (low + high);
            (released(mid) > Amplitude(db) ? low : high) = mid;
        }
        return high;
    };
    const double release = layers.empty() ? 0.0 : fallen(ReleaseFallDb);
    constexpr std::size_t ReleasePoints = 3;
    // Without a level to release from, or faster than a few ticks, the fade alone will do.
    const bool shaped = sustain * 64.0 >= 1.0 && release * TicksPerSecond >= 4.0;
    Simplify(points, EnvelopePointCount - (shaped ? ReleasePoints : 0));
    const std::size_t sustainPoint = points.size() - 1;
    if (shaped) {
        const std::uint16_t from = points.back().X;
        for (std::size_t i = 1; i <= ReleasePoints; ++i) {
            const double t = fallen(ReleaseFallDb * static_cast<double>(i) / (ReleasePoints + 1));
            const auto x = static_cast<std::uint16_t>(
                std::min(65535.0, from + std::round(t * TicksPerSecond)));
            if (x <= points.back().X) {
                continue; // within the tick before: it would take the sustain point's place
            }
            // The fadeout scales the envelope down in a straight line; the points undo that.
            add(x, std::min(1.0, sustain * released(t) / std::max(1.0 - t / release, 0.05)));
        }
    }
    inst.VolPoints = {};
    std::copy(points.begin(), points.end(), inst.VolPoints.begin());
    inst.VolEnv = {};
    inst.VolEnv.Count = static_cast<std::uint8_t>(points.size());
    inst.VolEnv.Sustain = static_cast<std::uint8_t>(sustainPoint);
    inst.VolEnv.Enabled = 1;
    inst.VolEnv.SustainOn = 1;
    inst.PanEnv = {};
    inst.PanPoints = {};

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

    const std::vector<double> quietDb = QuietDb(bank, voices);
    bool layered = false;
    const std::vector<std::size_t> chosen = MapNotesToVoices(voices, quietDb, layered);
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

    // The instrument-wide envelope and vibrato follow the zone at C-5; the envelope follows
    // the sum of the layers there, weighed by how loud each sounds.
    const BankZone& middle = voices[chosen[60]].zone;
    std::vector<Layer> layers;
    for (const std::size_t i : Covering(voices, 60)) {
        layers.push_back({voices[i].zone.volume, std::pow(10.0, -quietDb[i] / 10.0)});
    }
    if (layers.empty()) {
        layers.push_back({middle.volume, 1.0});
    }
    SetEnvelope(inst, layers);
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
    NoteOnce(notes, layered, "layered voices (the loudest plays, the envelope follows them all)");
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
