#pragma once

#include <stdexcept>
#include <string>

namespace sonlet {

// The two deletions the folder helpers and the uninstall make. Tests replace them to make a
// chosen deletion fail, as a locked file would.
class FileRemover {
public:
    virtual ~FileRemover() = default;
    // Deletes a file (a symbolic link itself, never its target); false on failure.
    virtual bool RemoveFile(const std::string& path);
    // Removes an empty folder; false on failure.
    virtual bool RemoveFolder(const std::string& path);

    // The system's error code of the last failed removal (errno, or GetLastError on Windows).
    int LastError() const { return lastError_; }

protected:
    int lastError_ = 0;
};

// True when a removal failed with this error for lack of rights or on a read-only file
// system: a retry by the same user cannot succeed. Always false on Windows, where a running
// or open file gives the same error as missing rights.
bool IsDeniedError(int error);

// The system's text for an error code of LastError.
std::string ErrorText(int error);

// The remover that asks the file system.
FileRemover& SystemFileRemover();

// True for a file or link at path, false for a folder or nothing.
bool FileExists(const std::string& path);

// True for a folder at path (a trailing separator allowed), false for a link to one.
bool FolderExists(const std::string& path);

// True for a symbolic link (or, on Windows, a junction) at path, whatever it points to.
bool IsLink(const std::string& path);

// True when the folder holds no entry, and also when it cannot be listed (it does not exist).
bool IsFolderEmpty(const std::string& folder);

// Raised by DeleteFolderTree when a folder of the tree cannot be removed.
class FolderDeleteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Deletes the folder with everything in it. A file that resists brings up the warning
// "Cannot delete PATH" with Retry and Ignore. A folder that cannot be removed at the end
// (an ignored file is still in it, or it never existed) raises FolderDeleteError, which ends
// the whole call. Links are deleted as links; the tree never follows one out of itself,
// and when folder itself is a link, only that link is deleted.
void DeleteFolderTree(const std::string& folder, FileRemover& remover = SystemFileRemover());

} // namespace sonlet
