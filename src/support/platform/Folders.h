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
};

// The remover that asks the file system.
FileRemover& SystemFileRemover();

// True for a file or link at path, false for a folder or nothing.
bool FileExists(const std::string& path);

// True for a folder at path (a trailing separator allowed), false for a link to one.
bool FolderExists(const std::string& path);

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
