#pragma once

#include "support/FileIO.h"

#include <string>

namespace sonlet {

// Writes a file so that its old content survives any failure: the bytes go into a new file
// beside the target, which replaces the target only once every byte is written and flushed.
// The replacement keeps the target's permissions. Without Commit, the new file is removed.
class AtomicFileWriter {
public:
    // Creates the new file. IsOpen() is false when the target cannot be written (a folder,
    // a read-only file, a missing or read-only folder).
    explicit AtomicFileWriter(const std::string& target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool IsOpen() const { return file_.IsValid(); }
    // The new file, for writing at its current position.
    FileHandle& File() { return file_; }
    // Flushes and closes the new file and moves it over the target. False when any write
    // fell short or a step failed; the target is then left as it was.
    bool Commit();

private:
    void Discard();

    std::string target_;
    std::string temp_;
    FileHandle file_;
    bool targetExisted_ = false;
    unsigned targetMode_ = 0;
    long targetOwner_ = -1;
    long targetGroup_ = -1;
};

} // namespace sonlet
