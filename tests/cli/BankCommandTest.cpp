#include "BankBuilder.h"
#include "RunCli.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using testkit::CliResult;
using testkit::RunCli;

TEST(BankCommand, ListsConvertsOneOrAllPresetsAndWritesNothingForADamagedBank) {
    testkit::TempDir dir;
    const std::string bank = dir.File("small.sf2");
    ASSERT_TRUE(testkit::WriteSoundFont(testkit::SmallBank(), bank));

    const CliResult list = RunCli({"bank", bank});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "000:005    2 zones  Two Zones\n001:000    2 zones  Stereo Pad\n");

    const std::string one = dir.File("one.xi");
    const CliResult convert = RunCli({"bank", bank, "--preset", "0:5", one});
    ASSERT_EQ(convert.exitCode, 0) << convert.err;
    const CliResult info = RunCli({"info", one});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Two Zones"), std::string::npos) << info.out;

    const CliResult missing = RunCli({"bank", bank, "--preset", "3:3", dir.File("none.xi")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.File("none.xi")));
    EXPECT_EQ(RunCli({"bank", bank, "--preset", "0:5"}).exitCode, 2);

    const std::string out = dir.File("all");
    const CliResult all = RunCli({"bank", bank, "--all", out});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_TRUE(fs::exists(out + "/000-005 Two Zones.xi"));
    EXPECT_TRUE(fs::exists(out + "/001-000 Stereo Pad.xi"));
    EXPECT_NE(all.err.find("[2/2] 001:000 Stereo Pad"), std::string::npos) << all.err;
    EXPECT_NE(all.err.find("2 of 2 presets converted"), std::string::npos) << all.err;

    const auto bytes = testkit::ReadAll(bank);
    const std::string cut = dir.Write("cut.sf2", std::vector(bytes.begin(), bytes.begin() + 3000));
    const CliResult damaged = RunCli({"bank", cut, "--all", dir.File("nothing")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("Not a usable bank"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fs::exists(dir.File("nothing")));
}

} // namespace
} // namespace sonlet
