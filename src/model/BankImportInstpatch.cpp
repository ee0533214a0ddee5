// Banks through libinstpatch: it reads SoundFont, DLS and GigaSampler files and flattens each
// preset into voices with their generators; this file turns those into the program's zones.
#include "model/BankCheck.h"
#include "model/BankImport.h"
#include "support/FileIO.h"
#include "support/Report.h"

#define GLIB_DISABLE_DEPRECATION_WARNINGS
#include <algorithm>
#include <cmath>
#include <libinstpatch/libinstpatch.h>
#include <limits>
#include <map>
#include <mutex>
#include <new>

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

namespace sonlet {

namespace {

// The XI form keeps a sample's length in bytes in 32 bits.
constexpr std::uint64_t MaxSampleBytes = std::numeric_limits<std::int32_t>::max();
// A compressed sample is trusted to decode to at most this many frames per byte of file.
constexpr std::uint64_t MaxFramesPerCompressedByte = 64;
constexpr guint FramesPerRead = 65536;

void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        ipatch_init();
        // A damaged bank makes the library log its complaints; the user gets one message.
        // It logs without a domain of its own.
        for (const char* domain : {"libInstPatch", static_cast<const char*>(nullptr)}) {
            g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK), Quiet,
                              nullptr);
        }
    });
}

template <typename T> struct Unref {
    void operator()(T* object) const {
        if (object) {
            g_object_unref(object);
        }
    }
};
template <typename T> using Ref = std::unique_ptr<T, Unref<T>>;

std::string TakeError(GError* error, std::string_view otherwise) {
    std::string text = error && error->message ? error->message : std::string(otherwise);
    if (error) {
        g_error_free(error);
    }
    return text;
}

// The library's readers leak a little of what they read (the names of DLS items, the detail
// of a load error). A leak check sees GLib's allocations without their callers, as GLib keeps
// no frame pointers, so no suppression can tell those apart: what the library allocates while
// it reads a file stays out of the check.
class LibraryRead {
public:
    LibraryRead() {
#ifdef SONLET_LEAK_CHECK
        __lsan_disable();
#endif
    }
    ~LibraryRead() {
#ifdef SONLET_LEAK_CHECK
        __lsan_enable();
#endif
    }
    LibraryRead(const LibraryRead&) = delete;
    LibraryRead& operator=(const LibraryRead&) = delete;
};

double Seconds(std::int16_t timecents) { return std::exp2(timecents / 1200.0); }

// The name of a preset or sample. The name property of DLS items hands out a copy it never
// frees, so theirs is read from their info list in place.
std::string NameOf(GObject* item) {
    IpatchDLS2Info* info = nullptr;
    if (IPATCH_IS_DLS2_INST(item)) {
        info = IPATCH_DLS2_INST(item)->info;
    } else if (IPATCH_IS_DLS2_SAMPLE(item)) {
        info = IPATCH_DLS2_SAMPLE(item)->info;
    } else {
        gchar* name = nullptr;
        g_object_get(item, "name", &name, nullptr);
        std::string text = name ? name : "";
        g_free(name);
        return text;
    }
    IPATCH_ITEM_RLOCK(item);
    const char* name = ipatch_dls2_info_peek(info, IPATCH_DLS2_NAME);
    std::string text = name ? name : "";
    IPATCH_ITEM_RUNLOCK(item);
    return text;
}

class InstpatchBank final : public TSoundBank {
public:
    bool Load(const std::string& fileName);
    ~InstpatchBank() override;

    std::vector<BankZone> Zones(std::size_t preset) override;
    bool ReadValues(std::size_t sample, std::vector<std::int16_t>& values) override;

private:
    std::int32_t SampleIndexOf(IpatchSampleData* data);
    IpatchSF2VoiceCache* VoicesOf(std::size_t preset, std::string& error);

    Ref<GObject> base_;
    std::vector<Ref<GObject>> presetItems_;
    std::vector<IpatchSampleData*> sampleData_;
    std::map<IpatchSampleData*, std::int32_t> indexOf_;
    std::int64_t fileSize_ = 0;
};

InstpatchBank::~InstpatchBank() {
    presetItems_.clear();
    if (base_) {
        // The bank holds its file open until it is closed.
        ipatch_item_remove(IPATCH_ITEM(base_.get()));
    }
}

bool InstpatchBank::Load(const std::string& fileName) {
    {
        FileHandle handle = OpenForRead(fileName);
        if (!handle.IsValid()) {
            ShowError("File not found", MessageIcon::Warning);
            return false;
        }
        fileSize_ = handle.Size();
    }
    const std::string problem = CheckBankStructure(fileName);
    if (!problem.empty()) {
        ShowError("Not a usable bank: " + problem, MessageIcon::Warning);
        return false;
    }
    InitLibrary();
    GError* error = nullptr;
    Ref<IpatchFile> file(ipatch_file_identify_new(fileName.c_str(), &error));
    if (!file) {
        ShowError("Not a usable bank: " + TakeError(error, "unknown format"), MessageIcon::Warning);
        return false;
    }
    {
        const LibraryRead read;
        base_.reset(ipatch_convert_object_to_type(G_OBJECT(file.get()), IPATCH_TYPE_BASE, &error));
    }
    if (!base_) {
        ShowError("Not a usable bank: " + TakeError(error, "it cannot be read"),
                  MessageIcon::Warning);
        return false;
    }
    GType presetType = 0;
    GType sampleType = 0;
    if (IPATCH_IS_SF2(base_.get())) {
        presetType = IPATCH_TYPE_SF2_PRESET;
        sampleType = IPATCH_TYPE_SF2_SAMPLE;
    } else if (IPATCH_IS_DLS2(base_.get())) {
        presetType = IPATCH_TYPE_DLS2_INST;
        sampleType = IPATCH_TYPE_DLS2_SAMPLE;
    } else {
        ShowError("Not a usable bank: only SoundFont and DLS banks are read", MessageIcon::Warning);
        return false;
    }

    Ref<IpatchList> samples(
        ipatch_container_get_children(IPATCH_CONTAINER(base_.get()), sampleType));
    for (GList* p = samples ? samples->items : nullptr; p; p = p->next) {
        GObject* item = G_OBJECT(p->data);
        IpatchSampleData* data = ipatch_sample_get_sample_data(IPATCH_SAMPLE(item));
        if (!data || indexOf_.contains(data)) {
            continue;
        }
        BankSampleInfo info;
        gint rate = 0;
        gint root = 60;
        gint fine = 0;
        guint loopStart = 0;
        guint loopEnd = 0;
        gint loopType = 0;
        g_object_get(item, "sample-rate", &rate, "root-note", &root, "fine-tune", &fine,
                     "loop-start", &loopStart, "loop-end", &loopEnd, "loop-type", &loopType,
                     nullptr);
        info.name = NameOf(item);
        info.rate = rate > 0 ? static_cast<std::uint32_t>(rate) : 44100;
        info.rootKey = std::clamp(root, 0, 127);
        info.correctionCents = fine;
        info.frames = ipatch_sample_get_size(IPATCH_SAMPLE(item), nullptr);
        info.channels =
            IPATCH_SAMPLE_FORMAT_GET_CHANNELS(ipatch_sample_get_format(IPATCH_SAMPLE(item))) >= 2
                ? 2
                : 1;
        if (loopType != IPATCH_SAMPLE_LOOP_NONE && loopEnd > loopStart) {
            info.loopStart = loopStart;
            info.loopEnd = loopEnd;
        }
        indexOf_[data] = static_cast<std::int32_t>(samples_.size());
        sampleData_.push_back(data);
        samples_.push_back(info);
    }
    // Stereo halves know each other only once every sample has its index.
    if (sampleType == IPATCH_TYPE_SF2_SAMPLE) {
        for (GList* p = samples ? samples->items : nullptr; p; p = p->next) {
            IpatchSF2Sample* sample = IPATCH_SF2_SAMPLE(p->data);
            const auto self = indexOf_.find(ipatch_sample_get_sample_data(IPATCH_SAMPLE(sample)));
            IpatchSF2Sample* linked = ipatch_sf2_sample_peek_linked(sample);
            if (self == indexOf_.end() || !linked) {
                continue;
            }
            const auto other = indexOf_.find(ipatch_sample_get_sample_data(IPATCH_SAMPLE(linked)));
            BankSampleInfo& info = samples_[static_cast<std::size_t>(self->second)];
            if (other != indexOf_.end() && sample->channel != IPATCH_SF2_SAMPLE_CHANNEL_MONO) {
                info.linked = other->second;
                info.side = sample->channel == IPATCH_SF2_SAMPLE_CHANNEL_LEFT ? BankChannel::Left
                                                                              : BankChannel::Right;
            }
        }
    }

    Ref<IpatchList> presets(
        ipatch_container_get_children(IPATCH_CONTAINER(base_.get()), presetType));
    std::vector<GObject*> items;
    for (GList* p = presets ? presets->items : nullptr; p; p = p->next) {
        items.push_back(G_OBJECT(p->data));
    }
    // Listed by bank and program, as a synthesizer selects them.
    const auto numberOf = [](GObject* item) {
        gint bank = 0;
        gint program = 0;
        g_object_get(item, "bank", &bank, "program", &program, nullptr);
        return std::pair{bank, program};
    };
    std::stable_sort(items.begin(), items.end(),
                     [&numberOf](GObject* a, GObject* b) { return numberOf(a) < numberOf(b); });
    for (GObject* item : items) {
        BankPreset preset;
        gint bank = 0;
        gint program = 0;
        g_object_get(item, "bank", &bank, "program", &program, nullptr);
        preset.name = NameOf(item);
        preset.bank = bank;
        preset.program = program;
        g_object_ref(item);
        presetItems_.emplace_back(item);
        std::string ignored;
        if (IpatchSF2VoiceCache* cache = VoicesOf(presetItems_.size() - 1, ignored)) {
            preset.zoneCount = static_cast<std::int32_t>(cache->voices->len);
            g_object_unref(cache);
        }
        presets_.push_back(preset);
    }
    if (presets_.empty()) {
        ShowError("Not a usable bank: it holds no preset", MessageIcon::Warning);
        return false;
    }
    return true;
}

IpatchSF2VoiceCache* InstpatchBank::VoicesOf(std::size_t preset, std::string& errorText) {
    GError* error = nullptr;
    GObject* cache = ipatch_convert_object_to_type(presetItems_[preset].get(),
                                                   IPATCH_TYPE_SF2_VOICE_CACHE, &error);
    if (!cache) {
        errorText = TakeError(error, "its zones cannot be read");
        return nullptr;
    }
    return IPATCH_SF2_VOICE_CACHE(cache);
}

std::int32_t InstpatchBank::SampleIndexOf(IpatchSampleData* data) {
    if (!data) {
        return -1;
    }
    if (const auto found = indexOf_.find(data); found != indexOf_.end()) {
        return found->second;
    }
    // A sample the bank's list did not name (a GigaSampler region's, say).
    BankSampleInfo info;
    info.name = "sample " + std::to_string(samples_.size() + 1);
    info.frames = ipatch_sample_data_get_size(data);
    info.rate = 44100;
    indexOf_[data] = static_cast<std::int32_t>(samples_.size());
    sampleData_.push_back(data);
    samples_.push_back(info);
    return indexOf_[data];
}

std::vector<BankZone> InstpatchBank::Zones(std::size_t preset) {
    std::vector<BankZone> zones;
    if (preset >= presetItems_.size()) {
        return zones;
    }
    std::string problem;
    Ref<IpatchSF2VoiceCache> cache(VoicesOf(preset, problem));
    if (!cache) {
        ShowError("The preset " + presets_[preset].name + " cannot be read: " + problem,
                  MessageIcon::Warning);
        return zones;
    }
    const auto range = [&cache](const IpatchSF2Voice* voice, int which, int low, int high) {
        if (which >= cache->sel_count) {
            return std::pair{low, high};
        }
        const int* r = &g_array_index(cache->ranges, int, voice->range_index + 2 * which);
        if (r[0] == IPATCH_SF2_VOICE_SEL_WILDCARD) {
            return std::pair{low, high};
        }
        return std::pair{std::clamp(r[0], low, high), std::clamp(r[1], low, high)};
    };
    for (guint i = 0; i < cache->voices->len; ++i) {
        IpatchSF2Voice* voice = IPATCH_SF2_VOICE_CACHE_GET_VOICE(cache.get(), i);
        const IpatchSF2GenAmount* g = voice->gen_array.values;
        BankZone z;
        std::tie(z.keyLow, z.keyHigh) = range(voice, 0, 0, 127);
        std::tie(z.velLow, z.velHigh) = range(voice, 1, 0, 127);
        z.sample = SampleIndexOf(voice->sample_data);
        if (z.sample >= 0 && samples_[static_cast<std::size_t>(z.sample)].rate == 44100 &&
            voice->rate > 0) {
            samples_[static_cast<std::size_t>(z.sample)].rate = voice->rate;
        }
        const std::int16_t root = g[IPATCH_SF2_GEN_ROOT_NOTE_OVERRIDE].sword;
        z.rootKey = root >= 0 && root <= 127 ? root : voice->root_note;
        z.tuneCents = g[IPATCH_SF2_GEN_COARSE_TUNE].sword * 100.0 +
                      g[IPATCH_SF2_GEN_FINE_TUNE_OVERRIDE].sword + voice->fine_tune;
        z.scaleTuning = g[IPATCH_SF2_GEN_SCALE_TUNE].sword;
        const int modes = g[IPATCH_SF2_GEN_SAMPLE_MODES].uword & 3;
        z.loop = modes == 1   ? BankLoop::Continuous
                 : modes == 3 ? BankLoop::UntilRelease
                              : BankLoop::None;
        const auto offset = [g](int fine, int coarse) {
            return static_cast<std::int64_t>(g[fine].sword) +
                   32768 * static_cast<std::int64_t>(g[coarse].sword);
        };
        const std::int64_t loopStart =
            std::int64_t{voice->loop_start} +
            offset(IPATCH_SF2_GEN_SAMPLE_LOOP_START, IPATCH_SF2_GEN_SAMPLE_COARSE_LOOP_START);
        const std::int64_t loopEnd =
            std::int64_t{voice->loop_end} +
            offset(IPATCH_SF2_GEN_SAMPLE_LOOP_END, IPATCH_SF2_GEN_SAMPLE_COARSE_LOOP_END);
        z.loopStart =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(loopStart, 0, voice->sample_size));
        z.loopEnd =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(loopEnd, 0, voice->sample_size));
        z.attenuationDb = std::max(0, static_cast<int>(g[IPATCH_SF2_GEN_ATTENUATION].sword)) / 10.0;
        z.pan = std::clamp(g[IPATCH_SF2_GEN_PAN].sword / 500.0, -1.0, 1.0);
        z.volume.delay = Seconds(g[IPATCH_SF2_GEN_VOL_ENV_DELAY].sword);
        z.volume.attack = Seconds(g[IPATCH_SF2_GEN_VOL_ENV_ATTACK].sword);
        z.volume.hold = Seconds(g[IPATCH_SF2_GEN_VOL_ENV_HOLD].sword);
        z.volume.decay = Seconds(g[IPATCH_SF2_GEN_VOL_ENV_DECAY].sword);
        z.volume.sustainDb = std::clamp(g[IPATCH_SF2_GEN_VOL_ENV_SUSTAIN].sword / 10.0, 0.0, 144.0);
        z.volume.release = Seconds(g[IPATCH_SF2_GEN_VOL_ENV_RELEASE].sword);
        // The shortest times a bank can state stand for none.
        for (double* t : {&z.volume.delay, &z.volume.attack, &z.volume.hold}) {
            if (*t < 0.002) {
                *t = 0;
            }
        }
        z.vibratoHz = 8.176 * std::exp2(g[IPATCH_SF2_GEN_VIB_LFO_FREQ].sword / 1200.0);
        z.vibratoDelay = Seconds(g[IPATCH_SF2_GEN_VIB_LFO_DELAY].sword);
        if (z.vibratoDelay < 0.002) {
            z.vibratoDelay = 0;
        }
        z.vibratoCents = g[IPATCH_SF2_GEN_VIB_LFO_TO_PITCH].sword;
        z.filter = g[IPATCH_SF2_GEN_FILTER_CUTOFF].sword < 13500;
        z.modulationLfo = g[IPATCH_SF2_GEN_MOD_LFO_TO_PITCH].sword != 0 ||
                          g[IPATCH_SF2_GEN_MOD_LFO_TO_FILTER_CUTOFF].sword != 0 ||
                          g[IPATCH_SF2_GEN_MOD_LFO_TO_VOLUME].sword != 0;
        z.modulationEnvelope = g[IPATCH_SF2_GEN_MOD_ENV_TO_PITCH].sword != 0 ||
                               g[IPATCH_SF2_GEN_MOD_ENV_TO_FILTER_CUTOFF].sword != 0;
        z.keyScaledEnvelope = g[IPATCH_SF2_GEN_NOTE_TO_VOL_ENV_HOLD].sword != 0 ||
                              g[IPATCH_SF2_GEN_NOTE_TO_VOL_ENV_DECAY].sword != 0;
        zones.push_back(z);
    }
    return zones;
}

bool InstpatchBank::ReadValues(std::size_t index, std::vector<std::int16_t>& values) {
    values.clear();
    if (index >= sampleData_.size()) {
        return false;
    }
    const BankSampleInfo& info = samples_[index];
    IpatchSample* sample = IPATCH_SAMPLE(sampleData_[index]);
    const guint frames = ipatch_sample_get_size(sample, nullptr);
    const std::uint64_t channels = info.channels == 2 ? 2 : 1;
    // Compressed (SF3) data is trusted only a bounded way ahead of the file's size.
    const std::uint64_t plausible =
        static_cast<std::uint64_t>(fileSize_) * MaxFramesPerCompressedByte;
    if (std::uint64_t{frames} * channels * 2 > MaxSampleBytes || frames > plausible) {
        ShowError("The sample " + info.name + " is too long for an XI sample",
                  MessageIcon::Warning);
        return false;
    }
    const int format = static_cast<int>(IPATCH_SAMPLE_16BIT) |
                       static_cast<int>(IPATCH_SAMPLE_SIGNED) |
                       static_cast<int>(IPATCH_SAMPLE_ENDIAN_HOST) |
                       static_cast<int>(channels == 2 ? IPATCH_SAMPLE_STEREO : IPATCH_SAMPLE_MONO);
    try {
        values.resize(static_cast<std::size_t>(frames * channels));
    } catch (const std::bad_alloc&) {
        ShowError("Not enough memory to read the sample " + info.name, MessageIcon::Warning);
        return false;
    }
    for (guint at = 0; at < frames;) {
        const guint n = std::min(FramesPerRead, frames - at);
        GError* error = nullptr;
        if (!ipatch_sample_read_transform(sample, at, n, values.data() + at * channels, format,
                                          IPATCH_SAMPLE_UNITY_CHANNEL_MAP, &error)) {
            ShowError("The sample " + info.name +
                          " cannot be read: " + TakeError(error, "the data is damaged"),
                      MessageIcon::Warning);
            values.clear();
            return false;
        }
        at += n;
    }
    return true;
}

} // namespace

std::unique_ptr<TSoundBank> TSoundBank::Open(const std::string& fileName) {
    auto bank = std::make_unique<InstpatchBank>();
    if (!bank->Load(fileName)) {
        return nullptr;
    }
    return bank;
}

} // namespace sonlet
