#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sonlet {

// An open file of the operating system, closed when the handle goes away.
// Paths are byte strings passed to the platform unchanged.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    bool IsValid() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    // Reads up to buffer.size() bytes, fewer only at the end of the file or on an error.
    std::size_t Read(std::span<std::byte> buffer);
    // Writes all of data; a short or failed write returns false and marks the handle failed.
    bool Write(std::span<const std::byte> data);
    bool Seek(std::int64_t offset);
    bool Skip(std::int64_t count);
    std::int64_t Position() const;
    // The file's size in bytes, or -1 when it cannot be told.
    std::int64_t Size() const;
    // Bytes between the position and the end of the file (0 when unknown).
    std::int64_t Remaining() const;
    // True once any write on this handle fell short.
    bool WriteFailed() const { return writeFailed_; }
    // Flushes to the device; false on failure.
    bool Sync();
    // Closes the file; false when the close reported an error (a delayed write failure).
    bool Close();

private:
    int fd_ = -1;
    bool writeFailed_ = false;
};

// Opens an existing file for reading; others may read it at the same time.
FileHandle OpenForRead(const std::string& path);
// Creates the file, or truncates it to length 0, for writing.
FileHandle CreateForWrite(const std::string& path);

// Typed little-endian reads. Bytes that cannot be read count as zero.
std::uint8_t ReadByte(FileHandle& file);
std::uint16_t ReadWord(FileHandle& file);
std::uint32_t ReadDWord(FileHandle& file);
// count bytes as text; count 255 means: read a length byte first and take that many.
std::string ReadText(FileHandle& file, int count);
// Reads exactly buffer.size() bytes; false when fewer arrived.
bool ReadExact(FileHandle& file, std::span<std::byte> buffer);

void WriteByte(FileHandle& file, std::uint8_t value);
void WriteWord(FileHandle& file, std::uint16_t value);
void WriteDWord(FileHandle& file, std::uint32_t value);
// Writes the text's bytes; with withLength, a length byte (modulo 256) first.
void WriteText(FileHandle& file, std::string_view text, bool withLength);

// Little-endian field access in a byte record.
inline std::uint16_t LoadLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void StoreLE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

} // namespace sonlet
