#pragma once

#include "TempDir.h"
#include "support/platform/Folders.h"
#include "support/platform/RunOnce.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sonlet::testkit {

// Points HOME and the XDG folders into a temporary folder for the test's lifetime.
class TemporaryHome {
public:
    TemporaryHome() {
        Set("HOME", Home());
        Set("XDG_DATA_HOME", Home() + "/.local/share");
        Set("XDG_CONFIG_HOME", Home() + "/.config");
    }
    ~TemporaryHome() {
        for (const auto& [name, value] : saved_) {
            SetVariable(name, value);
        }
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    std::string Home() const { return dir_.Path().string(); }
    std::string Data() const { return Home() + "/.local/share"; }
    std::string Config() const { return Home() + "/.config"; }

    void Set(const std::string& name, const std::string& value) {
        Save(name);
        SetVariable(name, value);
    }
    void Unset(const std::string& name) {
        Save(name);
        SetVariable(name, std::nullopt);
    }

private:
    static void SetVariable(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
        // An empty value removes the variable.
        ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
#endif
    }

    void Save(const std::string& name) {
        if (saved_.count(name) == 0) {
            const char* value = std::getenv(name.c_str());
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }

    TempDir dir_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Deletes for real, except the paths it was told to treat as locked (each fails its next
// `times` attempts, or every attempt) or as refused for lack of rights.
class LockingRemover final : public FileRemover {
public:
    void Lock(const std::string& path, int times = -1) { locks_[path] = {times, EBUSY}; }
    void Deny(const std::string& path) { locks_[path] = {-1, EACCES}; }

    bool RemoveFile(const std::string& path) override {
        fileAttempts.push_back(path);
        return !Refuse(path) && FileRemover::RemoveFile(path);
    }
    bool RemoveFolder(const std::string& path) override {
        return !Refuse(path) && FileRemover::RemoveFolder(path);
    }

    std::vector<std::string> fileAttempts;

private:
    struct Refusal {
        int times = -1;
        int error = EBUSY;
    };

    bool Refuse(const std::string& path) {
        const auto it = locks_.find(path);
        if (it == locks_.end() || it->second.times == 0) {
            return false;
        }
        if (it->second.times > 0) {
            --it->second.times;
        }
        lastError_ = it->second.error;
        return true;
    }

    std::map<std::string, Refusal> locks_;
};

// Remembers what the bookkeeping told the run-once host.
class RecordingRunOnce final : public RunOnceHost {
public:
    void Prepare() override { ++prepared; }
    void Update(bool pending) override { updates.push_back(pending); }

    int prepared = 0;
    std::vector<bool> updates;
};

// Creates the file (and its folders) with some content.
inline void Touch(const std::string& path, const std::string& content = "x") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace sonlet::testkit
