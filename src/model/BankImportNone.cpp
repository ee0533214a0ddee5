// A build without libinstpatch reads no bank.
#include "model/BankImport.h"
#include "support/Report.h"

namespace sonlet {

std::unique_ptr<TSoundBank> TSoundBank::Open(const std::string&) {
    ShowError("This build of Sonlet reads no SoundFont or DLS bank", MessageIcon::Warning);
    return nullptr;
}

} // namespace sonlet
