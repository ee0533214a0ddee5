#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Keys that the system itself provides.
inline constexpr std::string_view RunOnceKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr std::string_view ShellFoldersKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A value that cannot be stored. The text is what the user is shown.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Failed to set data for 'NAME'": the message of a failed value write.
inline std::string FailedToSetDataMessage(std::string_view valueName) {
    return "Failed to set data for '" + std::string(valueName) + "'";
}

// An open key. String values only; names compare without regard to case.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    virtual std::optional<std::string> ReadString(std::string_view name) const = 0;
    // Stores the value at once; throws RegistryError when it cannot be stored.
    virtual void WriteString(std::string_view name, std::string_view value) = 0;
    // False when the value was not there or could not be deleted.
    virtual bool DeleteValue(std::string_view name) = 0;
    virtual std::vector<std::string> ValueNames() const = 0;

    bool ValueExists(std::string_view name) const { return ReadString(name).has_value(); }
};

// Keys are paths of names joined with "\" below one of the roots.
class Registry {
public:
    virtual ~Registry() = default;

    // The key when it exists; nullptr when it does not or cannot be opened. Never creates it.
    virtual std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, std::string_view path) = 0;
    // Opens the key, creating it first when needed; nullptr on failure.
    virtual std::unique_ptr<RegistryKey> CreateKey(RegistryRoot root, std::string_view path) = 0;
    // False when the key was not there or could not be deleted.
    virtual bool DeleteKey(RegistryRoot root, std::string_view path) = 0;
};

// The registry of the system the program runs on: the Windows registry on Windows, the
// user's text store (see TextRegistry.h) elsewhere.
Registry& SystemRegistry();

} // namespace sonlet
