#include "ui/MainWindowKeys.h"

#include "playback/KeyMap.h"

#include <Qt>
#include <gtest/gtest.h>

namespace sonlet {
namespace {

// X key codes of a US keyboard (evdev code + 8), as xcb reports them whatever the layout.
TEST(MainWindowKeysTest, HardwareKeyCodesMapToTheUsKeyUnderThem) {
    EXPECT_EQ(VirtualKeyFromXKeyCode(10), static_cast<std::uint32_t>('1'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(19), static_cast<std::uint32_t>('0'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(21), 0xBBu); // =
    EXPECT_EQ(VirtualKeyFromXKeyCode(24), static_cast<std::uint32_t>('Q'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(33), static_cast<std::uint32_t>('P'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(34), 0xDBu); // [
    EXPECT_EQ(VirtualKeyFromXKeyCode(35), 0xDDu); // ]
    EXPECT_EQ(VirtualKeyFromXKeyCode(38), static_cast<std::uint32_t>('A'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(46), static_cast<std::uint32_t>('L'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(47), 0xBAu); // ;
    EXPECT_EQ(VirtualKeyFromXKeyCode(52), static_cast<std::uint32_t>('Z'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(58), static_cast<std::uint32_t>('M'));
    EXPECT_EQ(VirtualKeyFromXKeyCode(59), 0xBCu); // ,
    EXPECT_EQ(VirtualKeyFromXKeyCode(61), 0xBFu); // /
    EXPECT_EQ(VirtualKeyFromXKeyCode(65), 0x20u); // space
    EXPECT_EQ(VirtualKeyFromXKeyCode(8), 0u);
    EXPECT_EQ(VirtualKeyFromXKeyCode(66), 0u);
    EXPECT_EQ(VirtualKeyFromXKeyCode(100000), 0u);
}

TEST(MainWindowKeysTest, QtKeysShiftedOrNotGiveTheKeysCode) {
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Q), static_cast<std::uint32_t>('Q'));
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_At), static_cast<std::uint32_t>('2'));
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Less), VirtualKeyFromQtKey(Qt::Key_Comma));
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_BraceRight), 0xDDu);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Plus), 0xBBu);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_F1), 0u);
    // Every piano key of the top and bottom rows is reachable from its Qt key.
    for (int key :
         {Qt::Key_Z, Qt::Key_M, Qt::Key_Comma, Qt::Key_Period, Qt::Key_Semicolon, Qt::Key_Slash,
          Qt::Key_2, Qt::Key_0, Qt::Key_BracketLeft, Qt::Key_Equal, Qt::Key_BracketRight}) {
        EXPECT_NE(KeyToNote(VirtualKeyFromQtKey(key)), NoNote) << key;
    }
}

} // namespace
} // namespace sonlet
