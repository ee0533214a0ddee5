#include "BankBuilder.h"

#define GLIB_DISABLE_DEPRECATION_WARNINGS
#include <cmath>
#include <libinstpatch/libinstpatch.h>
#include <mutex>
#include <numbers>

#if defined(__SANITIZE_ADDRESS__)
#define SONLET_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SONLET_LEAK_CHECK 1
#endif
#endif
#ifdef SONLET_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace sonlet::testkit {

std::vector<std::int16_t> Sine(std::size_t frames, double hz, double rate, double amplitude) {
    std::vector<std::int16_t> values(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        values[i] = static_cast<std::int16_t>(std::lround(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
    }
    return values;
}

bool WriteSoundFont(const BuiltBank& bank, const std::string& path) {
    static std::once_flag once;
    std::call_once(once, [] { ipatch_init(); });
    IpatchSF2* sf2 = ipatch_sf2_new();
    std::vector<IpatchSF2Sample*> samples;
    for (const BuiltSample& s : bank.samples) {
        auto* copy =
            static_cast<gint16*>(g_memdup2(s.values.data(), s.values.size() * sizeof(gint16)));
        IpatchSample* store = ipatch_sample_store_ram_new(copy, TRUE);
        g_object_set(
            store, "sample-format",
            static_cast<int>(IPATCH_SAMPLE_16BIT) | static_cast<int>(IPATCH_SAMPLE_MONO) |
                static_cast<int>(IPATCH_SAMPLE_SIGNED) | static_cast<int>(IPATCH_SAMPLE_LENDIAN),
            "sample-size", static_cast<guint>(s.values.size()), "sample-rate", s.rate, nullptr);
        IpatchSampleData* data = ipatch_sample_data_new();
        ipatch_sample_data_add(data, IPATCH_SAMPLE_STORE(store));
        IpatchSF2Sample* sample = ipatch_sf2_sample_new();
        ipatch_sf2_sample_set_data(sample, data);
        g_object_set(sample, "name", s.name.c_str(), "sample-rate", s.rate, "root-note", s.rootKey,
                     "loop-start", s.loopStart, "loop-end", s.loopEnd, nullptr);
        ipatch_container_append(IPATCH_CONTAINER(sf2), IPATCH_ITEM(sample));
        samples.push_back(sample);
        g_object_unref(data);
        g_object_unref(store);
    }
    for (const auto& [left, right] : bank.stereo) {
        ipatch_sf2_sample_set_linked(samples[left], samples[right]);
        ipatch_sf2_sample_set_linked(samples[right], samples[left]);
        samples[left]->channel = IPATCH_SF2_SAMPLE_CHANNEL_LEFT;
        samples[right]->channel = IPATCH_SF2_SAMPLE_CHANNEL_RIGHT;
    }
    for (const BuiltPreset& p : bank.presets) {
        IpatchSF2Inst* inst = ipatch_sf2_inst_new();
        g_object_set(inst, "name", p.name.c_str(), nullptr);
        ipatch_container_append(IPATCH_CONTAINER(sf2), IPATCH_ITEM(inst));
        for (const BuiltZone& z : p.zones) {
            ipatch_sf2_inst_new_zone(inst, samples[z.sample]);
        }
        IpatchList* zones =
            ipatch_container_get_children(IPATCH_CONTAINER(inst), IPATCH_TYPE_SF2_IZONE);
        std::size_t k = 0;
        for (GList* item = zones->items; item; item = item->next, ++k) {
            auto* zone = IPATCH_SF2_GEN_ITEM(item->data);
            const BuiltZone& z = p.zones[k];
            ipatch_sf2_gen_item_set_note_range(zone, z.keyLow, z.keyHigh);
            ipatch_sf2_gen_item_set_velocity_range(zone, z.velLow, z.velHigh);
            IpatchSF2GenAmount amount{};
            amount.sword = z.loop ? 1 : 0;
            ipatch_sf2_gen_item_set_amount(zone, IPATCH_SF2_GEN_SAMPLE_MODES, &amount);
            for (const auto& [id, value] : z.generators) {
                amount.sword = value;
                ipatch_sf2_gen_item_set_amount(zone, id, &amount);
            }
        }
        g_object_unref(zones);
        IpatchSF2Preset* preset = ipatch_sf2_preset_new();
        g_object_set(preset, "name", p.name.c_str(), "bank", p.bank, "program", p.program, nullptr);
        ipatch_container_append(IPATCH_CONTAINER(sf2), IPATCH_ITEM(preset));
        ipatch_sf2_preset_new_zone(preset, inst);
        g_object_unref(preset);
        g_object_unref(inst);
    }
    GError* error = nullptr;
    const bool saved = ipatch_base_save_to_filename(IPATCH_BASE(sf2), path.c_str(), &error);
    if (error) {
        g_error_free(error);
    }
    for (IpatchSF2Sample* sample : samples) {
        g_object_unref(sample);
    }
    ipatch_item_remove(IPATCH_ITEM(sf2));
    g_object_unref(sf2);
    return saved;
}

bool WriteDls(const BuiltBank& bank, const std::string& path) {
#ifdef SONLET_LEAK_CHECK
    // The library's DLS items leak a copy of their name each time it is read, and GLib's
    // allocations reach a leak check without their callers: none of this is the import's.
    __lsan::ScopedDisabler libraryLeaks;
#endif
    static std::once_flag once;
    std::call_once(once, [] { ipatch_init(); });
    IpatchDLS2* dls = ipatch_dls2_new();
    std::vector<IpatchDLS2Sample*> samples;
    for (const BuiltSample& s : bank.samples) {
        auto* copy =
            static_cast<gint16*>(g_memdup2(s.values.data(), s.values.size() * sizeof(gint16)));
        IpatchSample* store = ipatch_sample_store_ram_new(copy, TRUE);
        g_object_set(
            store, "sample-format",
            static_cast<int>(IPATCH_SAMPLE_16BIT) | static_cast<int>(IPATCH_SAMPLE_MONO) |
                static_cast<int>(IPATCH_SAMPLE_SIGNED) | static_cast<int>(IPATCH_SAMPLE_LENDIAN),
            "sample-size", static_cast<guint>(s.values.size()), "sample-rate", s.rate, nullptr);
        IpatchSampleData* data = ipatch_sample_data_new();
        ipatch_sample_data_add(data, IPATCH_SAMPLE_STORE(store));
        IpatchDLS2Sample* sample = ipatch_dls2_sample_new();
        ipatch_dls2_sample_set_data(sample, data);
        g_object_set(sample, "name", s.name.c_str(), "sample-rate", s.rate, "root-note", s.rootKey,
                     "loop-start", s.loopStart, "loop-end", s.loopEnd, "loop-type",
                     s.loopEnd > s.loopStart ? IPATCH_SAMPLE_LOOP_STANDARD
                                             : IPATCH_SAMPLE_LOOP_NONE,
                     nullptr);
        ipatch_container_append(IPATCH_CONTAINER(dls), IPATCH_ITEM(sample));
        samples.push_back(sample);
        g_object_unref(data);
        g_object_unref(store);
    }
    for (const BuiltPreset& p : bank.presets) {
        IpatchDLS2Inst* inst = ipatch_dls2_inst_new();
        g_object_set(inst, "name", p.name.c_str(), nullptr);
        ipatch_dls2_inst_set_midi_locale(inst, p.bank, p.program);
        ipatch_container_append(IPATCH_CONTAINER(dls), IPATCH_ITEM(inst));
        for (const BuiltZone& z : p.zones) {
            IpatchDLS2Region* region = ipatch_dls2_region_new();
            ipatch_dls2_region_set_sample(region, samples[z.sample]);
            ipatch_dls2_region_set_note_range(region, z.keyLow, z.keyHigh);
            ipatch_dls2_region_set_velocity_range(region, z.velLow, z.velHigh);
            ipatch_container_append(IPATCH_CONTAINER(inst), IPATCH_ITEM(region));
            g_object_unref(region);
        }
        g_object_unref(inst);
    }
    GError* error = nullptr;
    const bool saved = ipatch_base_save_to_filename(IPATCH_BASE(dls), path.c_str(), &error);
    if (error) {
        g_error_free(error);
    }
    for (IpatchDLS2Sample* sample : samples) {
        g_object_unref(sample);
    }
    ipatch_item_remove(IPATCH_ITEM(dls));
    g_object_unref(dls);
    return saved;
}

BuiltBank SmallBank() {
    BuiltBank bank;
    bank.samples = {
        {"Low", Sine(20000, 220, 22050), 22050, 57, 1000, 19000},
        {"High", Sine(20000, 880, 44100), 44100, 81, 0, 0},
        {"PadL", Sine(8000, 441, 44100), 44100, 69, 100, 7900},
        {"PadR", Sine(8000, 661.5, 44100, 6000), 44100, 69, 100, 7900},
    };
    bank.stereo = {{2, 3}};
    // Attack 0.25 s, hold none, decay 1 s to 20 dB below full, release 1 s.
    const std::vector<std::pair<std::uint16_t, std::int16_t>> envelope = {
        {IPATCH_SF2_GEN_VOL_ENV_ATTACK, -2400}, {IPATCH_SF2_GEN_VOL_ENV_DECAY, 0},
        {IPATCH_SF2_GEN_VOL_ENV_SUSTAIN, 200},  {IPATCH_SF2_GEN_VOL_ENV_RELEASE, 0},
        {IPATCH_SF2_GEN_ATTENUATION, 60},       {IPATCH_SF2_GEN_VIB_LFO_TO_PITCH, 16},
        {IPATCH_SF2_GEN_VIB_LFO_FREQ, 0},
    };
    BuiltZone low{0, 0, 63, 0, 127, true, envelope};
    BuiltZone high{1, 64, 127, 0, 127, false, envelope};
    bank.presets.push_back({"Two Zones", 0, 5, {low, high}});
    bank.presets.push_back(
        {"Stereo Pad", 1, 0, {{2, 0, 127, 0, 127, true, {}}, {3, 0, 127, 0, 127, true, {}}}});
    return bank;
}

} // namespace sonlet::testkit
