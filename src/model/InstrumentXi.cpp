#include "model/Instrument.h"
#include "support/Report.h"

namespace sonlet {

// Placeholder until the XI reader and writer land.
void TInstrument::LoadXi(const std::string&) { ShowError("Format not supported"); }
void TInstrument::SaveXi(const std::string&) { ShowError("Error opening file for write"); }
void TInstrument::UnpackParams() {}
void TInstrument::PackParams() {}

} // namespace sonlet
