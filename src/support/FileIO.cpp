#include "support/FileIO.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

#ifdef _WIN32
#include <io.h>
#define SONLET_OPEN ::_open
#define SONLET_READ ::_read
#define SONLET_WRITE ::_write
#define SONLET_CLOSE ::_close
#define SONLET_LSEEK ::_lseeki64
#define SONLET_BINARY _O_BINARY
#else
#include <unistd.h>
#define SONLET_OPEN ::open
#define SONLET_READ ::read
#define SONLET_WRITE ::write
#define SONLET_CLOSE ::close
#define SONLET_LSEEK ::lseek
#define SONLET_BINARY 0
#endif

namespace sonlet {

namespace {

// One system call moves at most this much, so huge spans never overflow the platform's count type.
constexpr std::size_t MaxChunk = std::size_t{1} << 30;

} // namespace

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), writeFailed_(other.writeFailed_) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        writeFailed_ = other.writeFailed_;
    }
    return *this;
}

FileHandle::~FileHandle() { Close(); }

std::size_t FileHandle::Read(std::span<std::byte> buffer) {
    if (fd_ < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        const std::size_t want = std::min(buffer.size() - done, MaxChunk);
        const auto got = SONLET_READ(fd_, buffer.data() + done, static_cast<unsigned>(want));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool FileHandle::Write(std::span<const std::byte> data) {
    if (fd_ < 0) {
        writeFailed_ = true;
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t want = std::min(data.size() - done, MaxChunk);
        const auto put = SONLET_WRITE(fd_, data.data() + done, static_cast<unsigned>(want));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            writeFailed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool FileHandle::Seek(std::int64_t offset) {
    return fd_ >= 0 && offset >= 0 && SONLET_LSEEK(fd_, offset, SEEK_SET) == offset;
}

bool FileHandle::Skip(std::int64_t count) {
    const std::int64_t here = Position();
    return here >= 0 && Seek(here + count);
}

std::int64_t FileHandle::Position() const {
    return fd_ < 0 ? -1 : static_cast<std::int64_t>(SONLET_LSEEK(fd_, 0, SEEK_CUR));
}

std::int64_t FileHandle::Size() const {
    if (fd_ < 0) {
        return -1;
    }
#ifdef _WIN32
    struct _stat64 st {};
    if (::_fstat64(fd_, &st) != 0) {
        return -1;
    }
#else
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        return -1;
    }
#endif
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t FileHandle::Remaining() const {
    const std::int64_t size = Size();
    const std::int64_t here = Position();
    if (size < 0 || here < 0 || here >= size) {
        return 0;
    }
    return size - here;
}

bool FileHandle::Sync() {
#ifdef _WIN32
    return fd_ >= 0 && ::_commit(fd_) == 0;
#else
    return fd_ >= 0 && ::fsync(fd_) == 0;
#endif
}

bool FileHandle::Close() {
    if (fd_ < 0) {
        return true;
    }
    const int result = SONLET_CLOSE(std::exchange(fd_, -1));
    return result == 0;
}

FileHandle OpenForRead(const std::string& path) {
    return FileHandle(SONLET_OPEN(path.c_str(), O_RDONLY | SONLET_BINARY));
}

FileHandle CreateForWrite(const std::string& path) {
    return FileHandle(
        SONLET_OPEN(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | SONLET_BINARY, 0666));
}

bool ReadExact(FileHandle& file, std::span<std::byte> buffer) {
    return file.Read(buffer) == buffer.size();
}

namespace {

template <std::size_t N> std::array<std::uint8_t, N> ReadLittle(FileHandle& file) {
    std::array<std::uint8_t, N> bytes{};
    file.Read(std::as_writable_bytes(std::span(bytes)));
    return bytes;
}

void WriteBytes(FileHandle& file, std::span<const std::uint8_t> bytes) {
    file.Write(std::as_bytes(bytes));
}

} // namespace

std::uint8_t ReadByte(FileHandle& file) { return ReadLittle<1>(file)[0]; }

std::uint16_t ReadWord(FileHandle& file) { return LoadLE16(ReadLittle<2>(file).data()); }

std::uint32_t ReadDWord(FileHandle& file) { return LoadLE32(ReadLittle<4>(file).data()); }

std::string ReadText(FileHandle& file, int count) {
    if (count == 255) {
        count = ReadByte(file);
    }
    if (count <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(count), '\0');
    const std::size_t got = file.Read(std::as_writable_bytes(std::span(text)));
    text.resize(got);
    return text;
}

void WriteByte(FileHandle& file, std::uint8_t value) { WriteBytes(file, std::span(&value, 1)); }

void WriteWord(FileHandle& file, std::uint16_t value) {
    std::array<std::uint8_t, 2> bytes{};
    StoreLE16(bytes.data(), value);
    WriteBytes(file, bytes);
}

void WriteDWord(FileHandle& file, std::uint32_t value) {
    std::array<std::uint8_t, 4> bytes{};
    StoreLE32(bytes.data(), value);
    WriteBytes(file, bytes);
}

void WriteText(FileHandle& file, std::string_view text, bool withLength) {
    if (withLength) {
        WriteByte(file, static_cast<std::uint8_t>(text.size() & 0xFF));
    }
    file.Write(std::as_bytes(std::span(text.data(), text.size())));
}

} // namespace sonlet
