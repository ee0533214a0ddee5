// The platform layer against the system itself: the machine's registry, the short names the
// file system gives and file names in the system's code page. What is written is read back
// through the Windows API, not through the program's own classes.
#include "CapturingReporter.h"
#include "PlatformTestKit.h"
#include "WavBuilder.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "support/FileIO.h"
#include "support/NativePath.h"
#include "support/Text.h"
#include "support/platform/Display.h"
#include "support/platform/Installation.h"
#include "support/platform/ShellFolders.h"

#include <gtest/gtest.h>
#include <optional>
#include <windows.h>

namespace sonlet {
namespace {

using testkit::CapturingReporter;
using testkit::TempDir;

const std::string Del = "command.com /c del ";
const std::string UninstallKey(UninstallKeyPath);
const std::string RunOnceKey(RunOnceKeyPath);

std::optional<std::string> MachineValue(const std::string& key, const std::string& name) {
    char data[4096];
    DWORD size = sizeof(data);
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

void SetRunOnceValue(const std::string& name, const std::string& value) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, RunOnceKey.c_str(), name.c_str(), REG_SZ,
                                value.c_str(), static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
}

bool EntryExists() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

// Removes what an earlier run may have left in the machine's keys.
void ClearMachineKeys() {
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallKey.c_str());
    for (const std::string name : {"Delete Sonlet", "Delete Sonlet file 0", "Delete Sonlet file 1",
                                   "Delete Sonlet file 2"}) {
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, RunOnceKey.c_str(), name.c_str());
    }
}

std::string SystemShortName(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

// "é" in the system's code page, or nothing when the code page has no such character.
std::string AcuteE() {
    char bytes[8];
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u00e9", 1, bytes,
                                             sizeof(bytes), nullptr, &lossy);
    return length > 0 && !lossy ? std::string(bytes, static_cast<std::size_t>(length))
                                : std::string();
}

bool ExistsWide(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FileHandle file = CreateForWrite(path);
    ASSERT_TRUE(file.IsValid()) << path;
    ASSERT_TRUE(file.Write(std::as_bytes(std::span(bytes))));
}

class WindowsInstallation : public ::testing::Test {
protected:
    void SetUp() override { ClearMachineKeys(); }
    void TearDown() override { ClearMachineKeys(); }

    TempDir dir;
    CapturingReporter reporter;
};

// Long names with a blank and a letter of the code page, so that the system's short names
// differ from them.
TEST_F(WindowsInstallation, TheEntryAndTheRunOnceValuesLieInTheMachinesRegistryWithShortNames) {
    const std::string folder = PathBytes(dir.Path()) + "\\Sonlet Program Files" + AcuteE() + "\\";
    const std::string programFile = folder + "Sonlet Editor.exe";
    const std::string samples = folder + "Sample Library\\";
    const std::string locked = samples + "Locked Sample.wav";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(samples.c_str(), nullptr));
    for (const std::string& file : {programFile, locked, samples + "free.wav"}) {
        WriteBytes(file, {1, 2, 3});
    }
    const std::string list = "Sonlet Editor.exe\r\nSample Library\\Locked Sample.wav\r\n"
                             "Sample Library\\free.wav\r\nSample Library\\\r\ninstall.txt\r\n";
    WriteBytes(folder + "install.txt", {list.begin(), list.end()});
    const InstallContext context{.programFile = programFile, .buildFolder = dir.File("build")};

    RegisterInstallation(context);
    EXPECT_EQ(MachineValue(UninstallKey, "DisplayName"), "Sonlet");
    EXPECT_EQ(MachineValue(UninstallKey, "UninstallString"), programFile + " /uninstall");

    // Open without sharing the deletion, as a program that still uses the file would.
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Uninstall(context), UninstallResult::Complete);
    ::CloseHandle(lock);

    const std::string shortProgram = SystemShortName(programFile);
    EXPECT_NE(shortProgram.find('~'), std::string::npos) << shortProgram;
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet"), Del + shortProgram);
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet file 0"), Del + SystemShortName(locked));
    // The folder still holds the locked file, so it is neither removed nor listed.
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet file 1"), std::nullopt);
    EXPECT_FALSE(EntryExists());
    EXPECT_FALSE(FileExists(samples + "free.wav"));
    EXPECT_FALSE(FileExists(folder + "install.txt"));
    EXPECT_TRUE(FileExists(programFile));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Uninstall complete."});

    // Started again before the next login: the entry comes back and the pending deletions
    // go, up to the first gap in their numbers.
    SetRunOnceValue("Delete Sonlet file 2", Del + "C:\\elsewhere.txt");
    RegisterInstallation(context);
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet"), std::nullopt);
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet file 0"), std::nullopt);
    EXPECT_EQ(MachineValue(RunOnceKey, "Delete Sonlet file 2"), Del + "C:\\elsewhere.txt");
}

// Paths are bytes of the code page from end to end: written, read, imported, saved through a
// replacement file, listed and deleted, they name the files the wide API sees.
TEST(WindowsFiles, PathsAreBytesOfTheSystemsCodePage) {
    const std::string acute = AcuteE();
    if (acute.empty()) {
        GTEST_SKIP() << "the code page has no e with acute";
    }
    TempDir dir;
    CapturingReporter reporter;
    const std::string folder = PathBytes(dir.Path()) + "\\Bass Samples " + acute;
    const std::wstring wideFolder = dir.Path().wstring() + L"\\Bass Samples \u00e9";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string wav = folder + "\\Fretless " + acute + ".wav";
    WriteBytes(wav, testkit::WavBuilder::Pcm(1, 48000, 16)
                        .DataChunk(testkit::Le16Values({100, -200, 300}))
                        .Bytes());
    EXPECT_TRUE(ExistsWide(wideFolder + L"\\Fretless \u00e9.wav"));

    const auto sample = ImportAudioFile(wav);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->SampleName, "Fretless " + acute);

    TInstrument inst;
    ASSERT_TRUE(inst.LoadFromFile(wav));
    const std::string xi = folder + "\\Fretless " + acute + ".xi";
    // The second save replaces the first through a new file in the same folder.
    inst.SaveToFile(xi);
    inst.SaveToFile(xi);
    EXPECT_TRUE(ExistsWide(wideFolder + L"\\Fretless \u00e9.xi"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(wideFolder),
                            std::filesystem::directory_iterator()),
              2);
    TInstrument again;
    ASSERT_TRUE(again.LoadFromFile(xi));
    EXPECT_EQ(again.SampleCount, 1);
    EXPECT_TRUE(reporter.Messages().empty());

    EXPECT_EQ(ShortPathName(wav), SystemShortName(wav));
    EXPECT_NE(ShortPathName(wav), wav);
    DeleteFolderTree(folder);
    EXPECT_FALSE(ExistsWide(wideFolder));
}

TEST(WindowsSystem, TheProgramItsFoldersAndItsDisplay) {
    const std::string program = ProgramFilePath();
    EXPECT_TRUE(EndsWithText("\\platform_tests.exe", program)) << program;
    EXPECT_EQ(FolderPart(program).back(), '\\');
    const std::string desktop = GetShellFolder("Desktop");
    EXPECT_TRUE(EndsWithText("\\Desktop", desktop)) << desktop;
    EXPECT_EQ(GetShellFolder("No Such Folder"), "");
    EXPECT_TRUE(HasDisplay());
}

} // namespace
} // namespace sonlet
