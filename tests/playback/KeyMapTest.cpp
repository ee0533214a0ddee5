#include "playback/KeyMap.h"

#include <gtest/gtest.h>
#include <map>

namespace sonlet {
namespace {

TEST(KeyMap, MapsBothRowsOfEachOctave) {
    const std::map<std::uint32_t, int> expected = {
        {'Z', 0},  {'S', 1},   {'X', 2},   {'D', 3},   {'C', 4},  {'V', 5},   {'G', 6},  {'B', 7},
        {'H', 8},  {'N', 9},   {'J', 10},  {'M', 11},  {'Q', 12}, {0xBC, 12}, {'2', 13}, {'L', 13},
        {'W', 14}, {0xBE, 14}, {'3', 15},  {0xBA, 15}, {'E', 16}, {0xBF, 16}, {'R', 17}, {'5', 18},
        {'T', 19}, {'6', 20},  {'Y', 21},  {'7', 22},  {'U', 23}, {'I', 24},  {'9', 25}, {'O', 26},
        {'0', 27}, {'P', 28},  {0xDB, 29}, {0xBB, 30}, {0xDD, 31}};
    ASSERT_EQ(expected.size(), 37u);
    // Every code in and around the byte range: the table's keys and nothing else play.
    for (std::uint32_t code = 0; code < 0x200; ++code) {
        const auto found = expected.find(code);
        const int want = found == expected.end() ? NoNote : found->second;
        EXPECT_EQ(KeyToNote(code), want) << "code 0x" << std::hex << code;
    }
    EXPECT_EQ(KeyToNote(0x1005A), NoNote);
    EXPECT_EQ(KeyToNote(0xFFFFFFFFu), NoNote);
}

} // namespace
} // namespace sonlet
