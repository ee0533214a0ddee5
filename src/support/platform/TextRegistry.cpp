#include "support/platform/TextRegistry.h"

#include "support/Text.h"
#include "support/platform/ShellFolders.h"
#include "support/platform/TextFile.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace sonlet {

namespace {

using Value = std::pair<std::string, std::string>;

struct Section {
    std::string key;
    std::vector<Value> values;
};

using Document = std::vector<Section>;

std::string_view TrimSeparators(std::string_view path) {
    while (!path.empty() && path.front() == '\\') {
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    return path;
}

bool SameName(std::string_view a, std::string_view b) { return LowerCase(a) == LowerCase(b); }

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// A key path fits on a section line when it holds no line break or other control byte.
bool IsValidKeyPath(std::string_view path) {
    return !path.empty() && std::none_of(path.begin(), path.end(), IsControl);
}

std::string Quote(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (IsControl(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads one quoted text from the front of line and consumes it; nullopt when malformed.
std::optional<std::string> Unquote(std::string_view& line) {
    if (line.empty() || line.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    std::size_t i = 1;
    while (i < line.size() && line[i] != '"') {
        if (line[i] != '\\') {
            out += line[i++];
            continue;
        }
        if (i + 1 >= line.size()) {
            return std::nullopt;
        }
        const char escaped = line[i + 1];
        if (escaped == '\\' || escaped == '"') {
            out += escaped;
            i += 2;
        } else if (escaped == 'x' && i + 3 < line.size() && HexDigit(line[i + 2]) >= 0 &&
                   HexDigit(line[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3]));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    if (i >= line.size()) {
        return std::nullopt;
    }
    line.remove_prefix(i + 1);
    return out;
}

std::optional<Value> ParseValueLine(std::string_view line) {
    auto name = Unquote(line);
    if (!name || line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    auto value = Unquote(line);
    if (!value || !line.empty()) {
        return std::nullopt;
    }
    return Value{std::move(*name), std::move(*value)};
}

// Lines that fit no form (a hand edit gone wrong) are skipped; values before any section too.
Document Parse(std::string_view text) {
    Document doc;
    for (const std::string_view line : SplitLines(text)) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            doc.push_back({std::string(line.substr(1, line.size() - 2)), {}});
        } else if (auto value = ParseValueLine(line); value && !doc.empty()) {
            doc.back().values.push_back(std::move(*value));
        }
    }
    return doc;
}

std::string Format(const Document& doc, std::string_view rootName) {
    std::string out = "; Sonlet's registry store (" + std::string(rootName) +
                      "). Keys are sections; values are \"name\"=\"value\".\n";
    for (const Section& section : doc) {
        out += "\n[" + section.key + "]\n";
        for (const auto& [name, value] : section.values) {
            out += Quote(name) + "=" + Quote(value) + "\n";
        }
    }
    return out;
}

std::string_view RootName(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// The store is a few keys; a file far larger than that is not one.
constexpr std::int64_t MaxStoreSize = 16 * 1024 * 1024;

// The file's sections; an empty document when the file does not exist yet, nullopt when it
// exists but cannot be read (then nothing may be written over it either).
std::optional<Document> Load(const std::string& file) {
    const FileText read = ReadWholeFile(file, MaxStoreSize);
    switch (read.status) {
    case FileText::Status::Read:
        return Parse(read.text);
    case FileText::Status::Missing:
        return Document{};
    case FileText::Status::Failed:
        break;
    }
    return std::nullopt;
}

// Holds the store's lock file for the duration of one change.
class StoreLock {
public:
    explicit StoreLock(const std::string& folder)
        : fd_(::open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(std::exchange(fd_, -1));
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

template <typename Doc> auto* FindSection(Doc& doc, std::string_view key) {
    const auto it = std::find_if(doc.begin(), doc.end(),
                                 [&](const Section& s) { return SameName(s.key, key); });
    return it == doc.end() ? nullptr : &*it;
}

std::vector<Value>::iterator FindValue(Section& section, std::string_view name) {
    return std::find_if(section.values.begin(), section.values.end(),
                        [&](const Value& v) { return SameName(v.first, name); });
}

// Rereads the file under the lock, lets change edit it and saves when change returns true.
// False when the store cannot be read or written, or when change made no change.
template <typename Change>
bool Modify(const std::string& folder, RegistryRoot root, const std::string& file,
            Change&& change) {
    if (folder.empty()) {
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    StoreLock lock(folder);
    if (!lock.Held()) {
        return false;
    }
    std::optional<Document> doc = Load(file);
    if (!doc || !change(*doc)) {
        return false;
    }
    return ReplaceFile(file, Format(*doc, RootName(root)));
}

} // namespace

class TextRegistry::Key final : public RegistryKey {
public:
    Key(TextRegistry& store, RegistryRoot root, std::string path)
        : store_(store), root_(root), path_(std::move(path)) {}

    std::optional<std::string> ReadString(std::string_view name) const override {
        const std::optional<Document> doc = Load(store_.FileOf(root_));
        const Section* section = doc ? FindSection(*doc, path_) : nullptr;
        if (section == nullptr) {
            return std::nullopt;
        }
        for (const auto& [valueName, value] : section->values) {
            if (SameName(valueName, name)) {
                return value;
            }
        }
        return std::nullopt;
    }

    void WriteString(std::string_view name, std::string_view value) override {
        const bool stored =
            Modify(store_.Folder(), root_, store_.FileOf(root_), [&](Document& doc) {
                Section* section = FindSection(doc, path_);
                if (section == nullptr) {
                    doc.push_back({path_, {}});
                    section = &doc.back();
                }
                if (auto it = FindValue(*section, name); it != section->values.end()) {
                    it->second = value;
                } else {
                    section->values.emplace_back(name, value);
                }
                return true;
            });
        if (!stored) {
            throw RegistryError(FailedToSetDataMessage(name));
        }
    }

    bool DeleteValue(std::string_view name) override {
        return Modify(store_.Folder(), root_, store_.FileOf(root_), [&](Document& doc) {
            Section* section = FindSection(doc, path_);
            if (section == nullptr) {
                return false;
            }
            const auto it = FindValue(*section, name);
            if (it == section->values.end()) {
                return false;
            }
            section->values.erase(it);
            return true;
        });
    }

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        const std::optional<Document> doc = Load(store_.FileOf(root_));
        if (const Section* section = doc ? FindSection(*doc, path_) : nullptr) {
            for (const auto& value : section->values) {
                names.push_back(value.first);
            }
        }
        return names;
    }

private:
    TextRegistry& store_;
    RegistryRoot root_;
    std::string path_;
};

TextRegistry::TextRegistry(std::string folder, std::vector<KeyName> systemKeys)
    : folder_(std::move(folder)), systemKeys_(std::move(systemKeys)) {}

// Without a folder (no home folder known) the store holds nothing and takes nothing: its
// files must never land in the file-system root.
std::string TextRegistry::FileOf(RegistryRoot root) const {
    return folder_.empty() ? std::string() : folder_ + "/" + std::string(RootName(root)) + ".txt";
}

bool TextRegistry::IsSystemKey(RegistryRoot root, std::string_view path) const {
    return std::any_of(systemKeys_.begin(), systemKeys_.end(), [&](const KeyName& key) {
        return key.first == root && SameName(TrimSeparators(key.second), path);
    });
}

std::unique_ptr<RegistryKey> TextRegistry::OpenKey(RegistryRoot root, std::string_view path) {
    path = TrimSeparators(path);
    const std::optional<Document> doc = folder_.empty() ? std::nullopt : Load(FileOf(root));
    if (!doc || !IsValidKeyPath(path) ||
        (FindSection(*doc, path) == nullptr && !IsSystemKey(root, path))) {
        return nullptr;
    }
    return std::make_unique<Key>(*this, root, std::string(path));
}

std::unique_ptr<RegistryKey> TextRegistry::CreateKey(RegistryRoot root, std::string_view path) {
    path = TrimSeparators(path);
    if (!IsValidKeyPath(path)) {
        return nullptr;
    }
    if (auto existing = OpenKey(root, path)) {
        return existing;
    }
    const bool created = Modify(folder_, root, FileOf(root), [&](Document& doc) {
        if (FindSection(doc, path) == nullptr) {
            doc.push_back({std::string(path), {}});
        }
        return true;
    });
    return created ? std::make_unique<Key>(*this, root, std::string(path)) : nullptr;
}

bool TextRegistry::DeleteKey(RegistryRoot root, std::string_view path) {
    path = TrimSeparators(path);
    return Modify(folder_, root, FileOf(root), [&](Document& doc) {
        const auto it = std::find_if(doc.begin(), doc.end(),
                                     [&](const Section& s) { return SameName(s.key, path); });
        if (it == doc.end()) {
            return false;
        }
        doc.erase(it);
        return true;
    });
}

std::string DefaultRegistryFolder() {
    const std::string data = UserDataFolder();
    return data.empty() ? std::string() : data + "/sonlet/registry";
}

TextRegistry MakeUserRegistry(std::string folder) {
    return TextRegistry(std::move(folder),
                        {{RegistryRoot::LocalMachine, std::string(RunOnceKeyPath)}});
}

Registry& SystemRegistry() {
    static TextRegistry registry = MakeUserRegistry(DefaultRegistryFolder());
    return registry;
}

} // namespace sonlet
