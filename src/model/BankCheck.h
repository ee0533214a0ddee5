#pragma once

#include <string>

namespace sonlet {

// Walks the structure of a SoundFont or DLS file before the bank library reads it: every
// chunk within its parent and the file, the SoundFont's record tables whole and their
// indices within the tables they point into, sample ranges within the sample data. Returns
// the problem in words, or an empty text for a file whose structure holds.
std::string CheckBankStructure(const std::string& fileName);

} // namespace sonlet
