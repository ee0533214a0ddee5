#include "support/AtomicFile.h"

#include "support/NativePath.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sonlet {

namespace {

namespace fs = std::filesystem;

// A symbolic link is followed, so that saving through it replaces the file it names.
std::string ResolveTarget(const std::string& target) {
    std::error_code ec;
    if (fs::is_symlink(NativePath(target), ec)) {
        const fs::path resolved = fs::weakly_canonical(NativePath(target), ec);
        if (!ec) {
            return PathBytes(resolved);
        }
    }
    return target;
}

// The new file goes into the target's folder, so the final rename never crosses devices.
std::string TempPathFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    const long pid = ::_getpid();
#else
    const long pid = ::getpid();
#endif
    const fs::path path = NativePath(target);
    std::string name = ".";
    name.append(PathBytes(path.filename()));
    name.append(".sonlet-");
    name.append(std::to_string(pid));
    name.append("-");
    name.append(std::to_string(counter++));
    name.append("-");
    name.append(std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL));
    return PathBytes(path.parent_path() / NativePath(name));
}

int CreateExclusive(const std::string& path) {
#ifdef _WIN32
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

bool IsWritable(const std::string& path) {
#ifdef _WIN32
    return ::_access(path.c_str(), 2) == 0;
#else
    return ::access(path.c_str(), W_OK) == 0;
#endif
}

// Makes the rename itself durable; a failure here no longer endangers any data.
void SyncFolderOf(const std::string& path) {
#ifndef _WIN32
    const std::string parent = PathBytes(NativePath(path).parent_path());
    const int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)path;
#endif
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& target) : target_(ResolveTarget(target)) {
    std::error_code ec;
    const fs::file_status status = fs::status(NativePath(target_), ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status) || !IsWritable(target_)) {
            return;
        }
        targetExisted_ = true;
#ifndef _WIN32
        struct stat st {};
        if (::stat(target_.c_str(), &st) == 0) {
            targetMode_ = static_cast<unsigned>(st.st_mode) & 07777U;
            targetOwner_ = static_cast<long>(st.st_uid);
            targetGroup_ = static_cast<long>(st.st_gid);
        }
#endif
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string candidate = TempPathFor(target_);
        const int fd = CreateExclusive(candidate);
        if (fd >= 0) {
            temp_ = candidate;
            file_ = FileHandle(fd);
            return;
        }
        if (errno != EEXIST) {
            return;
        }
    }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard() {
    file_.Close();
    if (!temp_.empty()) {
        std::error_code ignored;
        fs::remove(NativePath(temp_), ignored);
        temp_.clear();
    }
}

bool AtomicFileWriter::Commit() {
    if (!file_.IsValid() || file_.WriteFailed()) {
        Discard();
        return false;
    }
#ifndef _WIN32
    if (targetExisted_) {
        if (::fchmod(file_.Descriptor(), static_cast<mode_t>(targetMode_)) != 0) {
            Discard();
            return false;
        }
        if (::fchown(file_.Descriptor(), static_cast<uid_t>(targetOwner_),
                     static_cast<gid_t>(targetGroup_)) != 0) {
            // Only a privileged user may hand the file to another owner; it then stays ours.
        }
    }
#endif
    if (!file_.Sync() || !file_.Close()) {
        Discard();
        return false;
    }
    std::error_code ec;
    fs::rename(NativePath(temp_), NativePath(target_), ec);
    if (ec) {
        Discard();
        return false;
    }
    temp_.clear();
    SyncFolderOf(target_);
    return true;
}

} // namespace sonlet
