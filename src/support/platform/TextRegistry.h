#pragma once

#include "support/platform/Registry.h"

#include <string>
#include <utility>
#include <vector>

namespace sonlet {

// The registry on systems that have none: one text file per root in one folder
// ("HKEY_CURRENT_USER.txt", "HKEY_LOCAL_MACHINE.txt"), each key a section "[path]" and each
// value a line "name"="value" (backslash, quote and control bytes escaped as \\, \" and \xHH).
// Every change takes a lock on the folder, rereads the file and replaces it through a synced
// temporary and a rename, so a crash leaves the old file or the new one, never half of one,
// and two processes never lose each other's changes.
// Keys are flat: creating a key does not create its parents.
class TextRegistry final : public Registry {
public:
    using KeyName = std::pair<RegistryRoot, std::string>;

    // systemKeys open even before anything was written to them, as keys the system provides.
    explicit TextRegistry(std::string folder, std::vector<KeyName> systemKeys = {});

    std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, std::string_view path) override;
    std::unique_ptr<RegistryKey> CreateKey(RegistryRoot root, std::string_view path) override;
    bool DeleteKey(RegistryRoot root, std::string_view path) override;

    const std::string& Folder() const { return folder_; }
    std::string FileOf(RegistryRoot root) const;

private:
    class Key;
    bool IsSystemKey(RegistryRoot root, std::string_view path) const;

    std::string folder_;
    std::vector<KeyName> systemKeys_;
};

// The store's folder for this user: $XDG_DATA_HOME/sonlet/registry, by default
// ~/.local/share/sonlet/registry; empty when neither variable gives an absolute path.
std::string DefaultRegistryFolder();

// A store in folder that provides the keys the program relies on (RunOnce).
TextRegistry MakeUserRegistry(std::string folder);

} // namespace sonlet
