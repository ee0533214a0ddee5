#include "support/platform/Folders.h"

#include "support/NativePath.h"
#include "support/Report.h"
#include "support/Text.h"
#include "support/platform/ShellFolders.h"

#include <filesystem>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sonlet {

namespace fs = std::filesystem;

#ifdef _WIN32

bool FileRemover::RemoveFile(const std::string& path) {
    if (::DeleteFileA(path.c_str()) != 0) {
        return true;
    }
    lastError_ = static_cast<int>(::GetLastError());
    return false;
}

bool FileRemover::RemoveFolder(const std::string& path) {
    if (::RemoveDirectoryA(path.c_str()) != 0) {
        return true;
    }
    lastError_ = static_cast<int>(::GetLastError());
    return false;
}

bool IsDeniedError(int) { return false; }

std::string ErrorText(int error) { return "error " + std::to_string(error); }

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(StripTrailingSlash(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsLink(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(StripTrailingSlash(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

#else

bool FileRemover::RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) {
        return true;
    }
    lastError_ = errno;
    return false;
}

bool FileRemover::RemoveFolder(const std::string& path) {
    if (::rmdir(path.c_str()) == 0) {
        return true;
    }
    lastError_ = errno;
    return false;
}

bool IsDeniedError(int error) { return error == EACCES || error == EPERM || error == EROFS; }

std::string ErrorText(int error) { return std::strerror(error); }

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The separator goes first: lstat would follow a link named "link/".
bool FolderExists(const std::string& path) {
    struct stat st {};
    const std::string bare = path.size() > 1 ? StripTrailingSlash(path) : path;
    return ::lstat(bare.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat st {};
    const std::string bare = path.size() > 1 ? StripTrailingSlash(path) : path;
    return ::lstat(bare.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

#endif

FileRemover& SystemFileRemover() {
    static FileRemover remover;
    return remover;
}

bool IsFolderEmpty(const std::string& folder) {
    std::error_code ec;
    const fs::directory_iterator it(NativePath(folder), ec);
    return ec || it == fs::directory_iterator();
}

namespace {

struct Entry {
    std::string name;
    bool isFolder = false;
};

// The folder's entries, read in full before any is deleted. A link counts as a file.
std::vector<Entry> ListEntries(const std::string& folder) {
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(NativePath(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        const bool isFolder = it->is_directory(typeError) && !it->is_symlink(typeError);
        entries.push_back({PathBytes(it->path().filename()), isFolder});
    }
    return entries;
}

} // namespace

void DeleteFolderTree(const std::string& folder, FileRemover& remover) {
    // Listing a link would list its target, and the loop below would empty a folder that is
    // not ours. The link goes, the target stays. A link to a folder is a file on POSIX and a
    // folder on Windows, hence both removals.
    if (IsLink(folder)) {
        const std::string link = folder.size() > 1 ? StripTrailingSlash(folder) : folder;
        if (!remover.RemoveFile(link) && !remover.RemoveFolder(link)) {
            throw FolderDeleteError("Cannot remove folder " + folder);
        }
        return;
    }
    for (const Entry& entry : ListEntries(folder)) {
        const std::string path = JoinPath(folder, entry.name);
        if (entry.isFolder) {
            DeleteFolderTree(path, remover);
            continue;
        }
        while (!remover.RemoveFile(path) &&
               CurrentReporter().AskRetryIgnore("Warning", "Cannot delete " + path)) {
        }
    }
    if (!remover.RemoveFolder(folder)) {
        throw FolderDeleteError("Cannot remove folder " + folder);
    }
}

} // namespace sonlet
