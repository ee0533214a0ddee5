#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Byte offsets of the XI file: the file header, the instrument block and the sample header.
// All numbers in the file are little-endian; text fields are fixed-width, without terminator.
namespace sonlet::xi {

inline constexpr std::string_view Signature = "Extended Instrument: ";
// Only this much of the signature is checked when reading.
inline constexpr std::size_t CheckedSignatureLength = 20;
inline constexpr std::string_view WrittenTrackerName = "FastTracker v2.00   ";
inline constexpr std::uint16_t WrittenVersion = 0x0102;
inline constexpr std::uint8_t EndOfTextMark = 0x1A;

// File header.
inline constexpr std::size_t NameOffset = 21;
inline constexpr std::size_t NameLength = 22;
inline constexpr std::size_t EndOfTextOffset = 43;
inline constexpr std::size_t TrackerNameOffset = 44;
inline constexpr std::size_t TrackerNameLength = 20;
inline constexpr std::size_t VersionOffset = 64;
inline constexpr std::size_t BlockOffset = 66;
inline constexpr std::size_t SampleCountOffset = 296;
inline constexpr std::size_t FileHeaderSize = 298;

// Instrument block, relative to BlockOffset.
inline constexpr std::size_t KeyMapOffset = 0;
inline constexpr std::size_t KeyMapLength = 96;
inline constexpr std::size_t VolPointsOffset = 96;
inline constexpr std::size_t PanPointsOffset = 144;
inline constexpr std::size_t VolCountOffset = 192;
inline constexpr std::size_t PanCountOffset = 193;
inline constexpr std::size_t VolSustainOffset = 194;
inline constexpr std::size_t VolLoopStartOffset = 195;
inline constexpr std::size_t VolLoopEndOffset = 196;
inline constexpr std::size_t PanSustainOffset = 197;
inline constexpr std::size_t PanLoopStartOffset = 198;
inline constexpr std::size_t PanLoopEndOffset = 199;
inline constexpr std::size_t VolTypeOffset = 200;
inline constexpr std::size_t PanTypeOffset = 201;
inline constexpr std::size_t VibratoTypeOffset = 202;
inline constexpr std::size_t VibratoSweepOffset = 203;
inline constexpr std::size_t VibratoDepthOffset = 204;
inline constexpr std::size_t VibratoRateOffset = 205;
inline constexpr std::size_t FadeoutOffset = 206;

// Envelope type bits.
inline constexpr std::uint8_t EnvelopeOn = 1;
inline constexpr std::uint8_t EnvelopeSustain = 2;
inline constexpr std::uint8_t EnvelopeLoop = 4;

// Sample header.
inline constexpr std::size_t LengthOffset = 0;
inline constexpr std::size_t LoopStartOffset = 4;
inline constexpr std::size_t LoopLengthOffset = 8;
inline constexpr std::size_t VolumeOffset = 12;
inline constexpr std::size_t FinetuneOffset = 13;
inline constexpr std::size_t TypeOffset = 14;
inline constexpr std::size_t PanningOffset = 15;
inline constexpr std::size_t RelativeNoteOffset = 16;
inline constexpr std::size_t SampleNameOffset = 18;

// Sample type bits: the loop in bits 0 and 1; any of bits 2..4 marks 16-bit data on reading,
// bit 4 is what the writer sets. Bit 5 marks a stereo sample as OpenMPT and Schism Tracker
// write it: the left channel's run, then the right channel's, each delta-coded from 0, with
// length and loop counting the bytes of both channels.
inline constexpr std::uint8_t TypeLoopMask = 0x03;
inline constexpr std::uint8_t TypeSixteenBitMask = 0x1C;
inline constexpr std::uint8_t TypeSixteenBit = 0x10;
inline constexpr std::uint8_t TypeStereo = 0x20;

// Stored finetune = Finetune - offset; the reader adds the offset back.
inline constexpr int FinetuneOffset16 = 28;
inline constexpr int FinetuneOffset8 = 39;
// Stored relative note = Transpose + offset.
inline constexpr int RelativeNoteBias = 17;

} // namespace sonlet::xi
