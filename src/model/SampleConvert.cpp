#include "model/SampleConvert.h"

#include "model/SampleValues.h"
#include "model/XiLayout.h"

#include <algorithm>
#include <cstdint>

namespace sonlet {

namespace {

int FinetuneOffset(std::int64_t bytes) {
    return bytes == 1 ? xi::FinetuneOffset8 : xi::FinetuneOffset16;
}

// Triangular dither of one 8-bit step (256 on the 16-bit scale): the sum of two uniform
// values from a small generator, deterministic so that a conversion can be redone exactly.
class TriangularDither {
public:
    double Next() { return (Uniform() + Uniform() - 1.0) * 256.0; }

private:
    double Uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) * 0x1.0p-53;
    }
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

} // namespace

std::unique_ptr<TSample> SampleLike(const TSample& s, std::int64_t channels, std::int64_t bytes,
                                    std::int64_t frames) {
    auto out = std::make_unique<TSample>();
    out->SetFormat(channels, bytes, s.Format.nSamplesPerSec, frames * channels * bytes);
    out->MarkA = s.MarkA;
    out->MarkB = s.MarkB;
    out->LoopStart = s.LoopStart;
    out->LoopLength = s.LoopLength;
    out->LoopType = s.LoopType;
    out->Volume = s.Volume;
    out->Panning = s.Panning;
    out->Transpose = s.Transpose;
    const int fine = s.Finetune - FinetuneOffset(s.BytesPerSample) + FinetuneOffset(bytes);
    out->Finetune = static_cast<std::int16_t>(fine);
    out->SampleName = s.SampleName;
    out->XiHeader = s.XiHeader;
    out->UpdateRanges();
    return out;
}

std::unique_ptr<TSample> CopiedSample(const TSample& s) {
    auto out = SampleLike(s, s.Format.nChannels, s.BytesPerSample, s.NumFrames);
    // Every stored value, a trailing partial frame's too.
    out->SetFormat(s.Format.nChannels, s.BytesPerSample, s.Format.nSamplesPerSec, s.DataSize);
    out->Format = s.Format;
    if (s.BytesPerSample == 1) {
        std::copy_n(s.Data8.Data(), s.NumSamples, out->Data8.Data());
    } else {
        std::copy_n(s.Data16.Data(), s.NumSamples, out->Data16.Data());
    }
    out->Finetune = s.Finetune;
    out->UpdateRanges();
    return out;
}

std::unique_ptr<TSample> ConvertedTo8Bit(const TSample& s, bool dither) {
    if (s.BytesPerSample == 1 || s.Format.nChannels == 0) {
        return nullptr;
    }
    auto out = SampleLike(s, s.Format.nChannels, 1, s.NumFrames);
    const auto from = s.Data16.Values().first(static_cast<std::size_t>(out->NumSamples));
    auto to = out->Data8.Values();
    TriangularDither noise;
    for (std::size_t i = 0; i < from.size(); ++i) {
        values::Store(to[i], from[i] + (dither ? noise.Next() : 0.0));
    }
    out->ValuesChanged(0, out->NumFrames);
    return out;
}

std::unique_ptr<TSample> ConvertedTo16Bit(const TSample& s) {
    if (s.BytesPerSample != 1 || s.Format.nChannels == 0) {
        return nullptr;
    }
    auto out = SampleLike(s, s.Format.nChannels, 2, s.NumFrames);
    const auto from = s.Data8.Values().first(static_cast<std::size_t>(out->NumSamples));
    auto to = out->Data16.Values();
    for (std::size_t i = 0; i < from.size(); ++i) {
        to[i] = static_cast<std::int16_t>(ValueOf8(from[i]));
    }
    out->ValuesChanged(0, out->NumFrames);
    return out;
}

std::unique_ptr<TSample> ConvertedToMono(const TSample& s, MonoSource source) {
    if (s.Format.nChannels != 2) {
        return nullptr;
    }
    auto out = SampleLike(s, 1, s.BytesPerSample, s.NumFrames);
    const auto frames = static_cast<std::size_t>(out->NumFrames);
    auto convert = [&](auto from, auto to) {
        for (std::size_t f = 0; f < frames; ++f) {
            const double left = values::Read(from[2 * f]);
            const double right = values::Read(from[2 * f + 1]);
            const double v = source == MonoSource::Mix    ? (left + right) / 2
                             : source == MonoSource::Left ? left
                                                          : right;
            values::Store(to[f], v);
        }
    };
    if (s.BytesPerSample == 1) {
        convert(s.Data8.Values(), out->Data8.Values());
    } else {
        convert(s.Data16.Values(), out->Data16.Values());
    }
    out->ValuesChanged(0, out->NumFrames);
    return out;
}

std::unique_ptr<TSample> ConvertedToStereo(const TSample& s) {
    if (s.Format.nChannels != 1) {
        return nullptr;
    }
    auto out = SampleLike(s, 2, s.BytesPerSample, s.NumFrames);
    const auto frames = static_cast<std::size_t>(out->NumFrames);
    auto convert = [&](auto from, auto to) {
        for (std::size_t f = 0; f < frames; ++f) {
            to[2 * f] = from[f];
            to[2 * f + 1] = from[f];
        }
    };
    if (s.BytesPerSample == 1) {
        convert(s.Data8.Values(), out->Data8.Values());
    } else {
        convert(s.Data16.Values(), out->Data16.Values());
    }
    out->ValuesChanged(0, out->NumFrames);
    return out;
}

} // namespace sonlet
