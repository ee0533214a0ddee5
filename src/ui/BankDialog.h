#pragma once

#include <string>

class QWidget;

namespace sonlet {

class TInstrument;
class TWavePlayer;

// File > Open of a SoundFont or DLS bank: a dialog lists its presets (bank, program, name,
// zones), plays the selected one's C-5 through player on Preview, and converts the chosen one
// into inst. True when inst now holds the preset; a cancel or a failure leaves it as it was.
bool OpenBankPreset(QWidget* parent, TInstrument& inst, const std::string& fileName,
                    TWavePlayer* player);

// The sample list's Open of a bank: the user picks some of the bank's samples, each added as
// a sample of its own after the existing ones, up to 16. Returns how many were added.
int AddBankSamples(QWidget* parent, TInstrument& inst, const std::string& fileName);

} // namespace sonlet
