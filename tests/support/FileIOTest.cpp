#include "support/FileIO.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::ReadAll;
using testkit::TempDir;

TEST(FileIO, TypedReadsAreLittleEndianAndZeroPastTheEnd) {
    TempDir dir;
    const std::vector<std::uint8_t> bytes{0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAA};
    auto file = OpenForRead(dir.Write("typed.bin", bytes));
    ASSERT_TRUE(file.IsValid());
    EXPECT_EQ(ReadByte(file), 0x01);
    EXPECT_EQ(ReadWord(file), 0x1234);
    EXPECT_EQ(ReadDWord(file), 0x12345678u);
    EXPECT_EQ(ReadWord(file), 0x00AA); // one byte left: the missing one counts as zero
    EXPECT_EQ(ReadDWord(file), 0u);
}

TEST(FileIO, ReadTextCountsAndLengthPrefix) {
    TempDir dir;
    auto file =
        OpenForRead(dir.Write("text.bin", std::vector<std::uint8_t>{3, 'A', 'B', 'C', 'D'}));
    EXPECT_EQ(ReadText(file, 0), "");
    EXPECT_EQ(file.Position(), 0);
    EXPECT_EQ(ReadText(file, 255), "ABC");
    EXPECT_EQ(ReadText(file, 10), "D"); // short at the end of the file
}

TEST(FileIO, WritesRoundTripAndTextWithOrWithoutLength) {
    TempDir dir;
    const std::string path = dir.File("out.bin");
    {
        auto file = CreateForWrite(path);
        ASSERT_TRUE(file.IsValid());
        WriteText(file, "ABC", true);
        WriteText(file, "ABC", false);
        WriteByte(file, 0xFE);
        WriteWord(file, 0xBEEF);
        WriteDWord(file, 0x01020304);
        EXPECT_FALSE(file.WriteFailed());
        EXPECT_TRUE(file.Close());
    }
    const std::vector<std::uint8_t> expected{3,    'A',  'B',  'C',  'A',  'B',  'C',
                                             0xFE, 0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(ReadAll(path), expected);
}

TEST(FileIO, CreateTruncatesAndMissingFilesAreInvalid) {
    TempDir dir;
    const std::string path = dir.Write("old.bin", std::vector<std::uint8_t>(100, 7));
    {
        auto file = CreateForWrite(path);
        WriteByte(file, 1);
    }
    EXPECT_EQ(ReadAll(path).size(), 1u);
    EXPECT_FALSE(OpenForRead(dir.File("missing")).IsValid());
    EXPECT_FALSE(CreateForWrite(dir.File("no/such/folder/x")).IsValid());
}

TEST(FileIO, FileNamesAreBytesPassedThrough) {
    TempDir dir;
    // Latin-1 bytes that are not valid UTF-8 must still name a file.
    const std::string name = std::string("b\xE4ss \xFF.wav");
    const std::string path = dir.Write(name, std::vector<std::uint8_t>{1, 2});
    auto file = OpenForRead(path);
    ASSERT_TRUE(file.IsValid());
    EXPECT_EQ(file.Size(), 2);
    EXPECT_EQ(file.Remaining(), 2);
}

TEST(FileIO, WriteToFullDeviceIsReported) {
    auto file = CreateForWrite("/dev/full");
    if (!file.IsValid()) {
        GTEST_SKIP() << "/dev/full is not available";
    }
    const std::vector<std::byte> block(4096);
    EXPECT_FALSE(file.Write(block));
    EXPECT_TRUE(file.WriteFailed());
}

} // namespace
} // namespace sonlet
