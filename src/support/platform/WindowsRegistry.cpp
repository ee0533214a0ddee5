#include "support/platform/Registry.h"

#include <windows.h>

namespace sonlet {

namespace {

HKEY RootHandle(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

class WindowsKey final : public RegistryKey {
public:
    explicit WindowsKey(HKEY key) : key_(key) {}
    ~WindowsKey() override { ::RegCloseKey(key_); }
    WindowsKey(const WindowsKey&) = delete;
    WindowsKey& operator=(const WindowsKey&) = delete;

    std::optional<std::string> ReadString(std::string_view name) const override {
        const std::string valueName(name);
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return std::nullopt;
        }
        std::string value(size, '\0');
        if (::RegQueryValueExA(key_, valueName.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        value.resize(size);
        while (!value.empty() && value.back() == '\0') {
            value.pop_back();
        }
        return value;
    }

    void WriteString(std::string_view name, std::string_view value) override {
        const std::string valueName(name);
        const std::string data(value);
        if (::RegSetValueExA(key_, valueName.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS) {
            throw RegistryError(FailedToSetDataMessage(name));
        }
    }

    bool DeleteValue(std::string_view name) override {
        return ::RegDeleteValueA(key_, std::string(name).c_str()) == ERROR_SUCCESS;
    }

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (::RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                               &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        std::string buffer(longest + 1, '\0');
        for (DWORD i = 0; i < count; ++i) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (::RegEnumValueA(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr,
                                nullptr) == ERROR_SUCCESS) {
                names.emplace_back(buffer.data(), length);
            }
        }
        return names;
    }

private:
    HKEY key_;
};

class WindowsRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, std::string_view path) override {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(RootHandle(root), std::string(path).c_str(), 0, KEY_READ | KEY_WRITE,
                            &key) != ERROR_SUCCESS) {
            return nullptr;
        }
        return std::make_unique<WindowsKey>(key);
    }

    std::unique_ptr<RegistryKey> CreateKey(RegistryRoot root, std::string_view path) override {
        HKEY key = nullptr;
        if (::RegCreateKeyExA(RootHandle(root), std::string(path).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS) {
            return nullptr;
        }
        return std::make_unique<WindowsKey>(key);
    }

    bool DeleteKey(RegistryRoot root, std::string_view path) override {
        return ::RegDeleteKeyA(RootHandle(root), std::string(path).c_str()) == ERROR_SUCCESS;
    }
};

} // namespace

Registry& SystemRegistry() {
    static WindowsRegistry registry;
    return registry;
}

} // namespace sonlet
