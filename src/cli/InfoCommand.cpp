#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonWriter.h"
#include "model/Instrument.h"
#include "model/KeyRanges.h"
#include "model/SampleDigest.h"
#include "model/XiLayout.h"
#include "support/Text.h"

#include <cinttypes>
#include <cstdio>
#include <iomanip>
#include <iostream>

namespace sonlet::cli {

namespace {

struct EnvelopeView {
    const EnvelopeParams& params;
    const EnvelopePoints& points;
};

std::string HashText(const TSample& sample) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, ValuesFnv1a64(sample));
    return hex;
}

std::string FieldText(std::string_view bytes) { return Latin1ToUtf8(UpToZero(bytes)); }

std::uint8_t BlockByte(const TInstrument& inst, std::size_t offset) { return inst.XiBlock[offset]; }

void WriteEnvelope(JsonWriter& json, EnvelopeView env) {
    json.BeginObject();
    json.Key("count").Number(env.params.Count);
    json.Key("sustain").Number(env.params.Sustain);
    json.Key("loop_start").Number(env.params.LoopStart);
    json.Key("loop_end").Number(env.params.LoopEnd);
    json.Key("enabled").Bool(env.params.Enabled != 0);
    json.Key("sustain_on").Bool(env.params.SustainOn != 0);
    json.Key("loop_on").Bool(env.params.LoopOn != 0);
    json.Key("points").BeginArray();
    for (const EnvelopePoint& p : env.points) {
        json.BeginArray().Number(p.X).Number(p.Y).EndArray();
    }
    json.EndArray();
    json.EndObject();
}

void WriteSample(JsonWriter& json, const TSample& s) {
    json.BeginObject();
    json.Key("name").String(FieldText(s.SampleName));
    json.Key("bits").Number(s.BytesPerSample * 8);
    json.Key("channels").Number(s.Format.nChannels);
    json.Key("rate").Number(s.Format.nSamplesPerSec);
    json.Key("frames").Number(s.NumFrames);
    json.Key("data_size").Number(s.DataSize);
    json.Key("loop_type").Number(s.LoopType);
    json.Key("loop_start").Number(s.LoopStart);
    json.Key("loop_length").Number(s.LoopLength);
    json.Key("volume").Number(s.Volume);
    json.Key("panning").Number(s.Panning);
    json.Key("finetune").Number(s.Finetune);
    json.Key("transpose").Number(s.Transpose);
    json.Key("values_fnv1a64").String(HashText(s));
    json.EndObject();
}

std::string MessagesJson(JsonWriter& json, const std::vector<std::string>& messages) {
    json.Key("messages").BeginArray();
    for (const std::string& m : messages) {
        json.String(Latin1ToUtf8(m));
    }
    json.EndArray();
    json.EndObject();
    return json.Text();
}

// A file that did not load describes no instrument: no samples, only why.
std::string FailureJson(const std::string& format, const std::vector<std::string>& messages) {
    JsonWriter json;
    json.BeginObject();
    json.Key("format").String(format);
    json.Key("samples").BeginArray().EndArray();
    return MessagesJson(json, messages);
}

std::string Json(const TInstrument& inst, const std::string& format,
                 const std::vector<std::string>& messages) {
    JsonWriter json;
    json.BeginObject();
    json.Key("format").String(format);
    json.Key("name").String(FieldText(inst.InstrumentName));
    json.Key("tracker").String(FieldText(inst.TrackerName));
    json.Key("version").Number(inst.XiVersion);
    json.Key("declared_samples").Number(inst.XiSampleCount);
    json.Key("current").Number(inst.CurrentIndex);
    json.Key("fadeout").Number(inst.Fadeout);
    json.Key("volume_envelope");
    WriteEnvelope(json, {inst.VolEnv, inst.VolPoints});
    json.Key("panning_envelope");
    WriteEnvelope(json, {inst.PanEnv, inst.PanPoints});
    json.Key("vibrato").BeginObject();
    json.Key("type").Number(BlockByte(inst, xi::VibratoTypeOffset));
    json.Key("sweep").Number(BlockByte(inst, xi::VibratoSweepOffset));
    json.Key("depth").Number(BlockByte(inst, xi::VibratoDepthOffset));
    json.Key("rate").Number(BlockByte(inst, xi::VibratoRateOffset));
    json.EndObject();
    json.Key("keymap").BeginArray();
    for (std::size_t note = 0; note < xi::KeyMapLength; ++note) {
        json.Number(BlockByte(inst, xi::KeyMapOffset + note));
    }
    json.EndArray();
    json.Key("keymap_ranges").String(KeyRangesText(inst.Keys()));
    json.Key("silent_keys").Number(inst.SilentKeyCount());
    json.Key("samples").BeginArray();
    for (std::int32_t i = 0; i < inst.SampleCount; ++i) {
        WriteSample(json, *inst.Samples[static_cast<std::size_t>(i)]);
    }
    json.EndArray();
    return MessagesJson(json, messages);
}

const char* LoopName(std::uint8_t type) {
    switch (type) {
    case LoopNone:
        return "none";
    case LoopForward:
        return "forward";
    case LoopPingpong:
        return "pingpong";
    default:
        return "unknown";
    }
}

void PrintEnvelope(std::ostream& out, const char* title, EnvelopeView env) {
    out << title << ": " << int{env.params.Count} << " points, sustain " << int{env.params.Sustain}
        << ", loop " << int{env.params.LoopStart} << ".." << int{env.params.LoopEnd}
        << (env.params.Enabled ? ", on" : ", off") << (env.params.SustainOn ? ", sustain on" : "")
        << (env.params.LoopOn ? ", loop on" : "") << "\n  points:";
    for (const EnvelopePoint& p : env.points) {
        out << " (" << p.X << "," << p.Y << ")";
    }
    out << "\n";
}

void PrintSummary(std::ostream& out, const TInstrument& inst, const std::string& path,
                  const std::string& format) {
    out << "File:      " << path << " (" << format << ")\n"
        << "Name:      \"" << FieldText(inst.InstrumentName) << "\"\n"
        << "Tracker:   \"" << FieldText(inst.TrackerName) << "\", version 0x" << std::hex
        << std::setw(4) << std::setfill('0') << inst.XiVersion << std::dec << std::setfill(' ')
        << "\n"
        << "Samples:   " << inst.SampleCount << " (declared " << inst.XiSampleCount << "), current "
        << inst.CurrentIndex << "\n"
        << "Fadeout:   " << inst.Fadeout << "\n";
    PrintEnvelope(out, "Volume envelope", {inst.VolEnv, inst.VolPoints});
    PrintEnvelope(out, "Panning envelope", {inst.PanEnv, inst.PanPoints});
    out << "Vibrato:   type " << int{BlockByte(inst, xi::VibratoTypeOffset)} << ", sweep "
        << int{BlockByte(inst, xi::VibratoSweepOffset)} << ", depth "
        << int{BlockByte(inst, xi::VibratoDepthOffset)} << ", rate "
        << int{BlockByte(inst, xi::VibratoRateOffset)} << "\n"
        << "Key map:   " << KeyRangesText(inst.Keys());
    if (const std::int32_t silent = inst.SilentKeyCount(); silent > 0) {
        out << " (" << silent << " keys name a missing sample and play nothing)";
    }
    out << "\n";
    for (std::int32_t i = 0; i < inst.SampleCount; ++i) {
        const TSample& s = *inst.Samples[static_cast<std::size_t>(i)];
        out << "Sample " << i << ": \"" << FieldText(s.SampleName) << "\", " << s.BytesPerSample * 8
            << "-bit, " << s.Format.nChannels << " channel(s), " << s.Format.nSamplesPerSec
            << " Hz, " << s.NumFrames << " frames, " << s.DataSize << " bytes\n  loop "
            << LoopName(s.LoopType) << " start " << s.LoopStart << " length " << s.LoopLength
            << ", volume " << int{s.Volume} << ", panning " << int{s.Panning} << ", finetune "
            << int{s.Finetune} << ", transpose " << int{s.Transpose} << ", values " << HashText(s)
            << "\n";
    }
}

int RunInfo(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgs(args, 1, {}, {"--json"});
    const std::string& path = parsed.positional[0];
    RecordingReporter reporter;
    TInstrument inst;
    const bool loaded = LoadLikeOpen(inst, path);
    const std::string format = GetFileExt(path) == "xi" ? "xi" : "wav";
    if (!loaded) {
        // The failure is on stderr; what the instrument holds now is not the file's.
        if (parsed.Has("--json")) {
            std::cout << FailureJson(format, reporter.Messages()) << "\n";
        }
        return ExitFailure;
    }
    if (parsed.Has("--json")) {
        std::cout << Json(inst, format, reporter.Messages()) << "\n";
    } else {
        PrintSummary(std::cout, inst, path, format);
    }
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand InfoCommand;
const CliCommand InfoCommand{"info", "FILE [--json]", RunInfo};

} // namespace sonlet::cli
