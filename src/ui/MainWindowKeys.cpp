#include "ui/MainWindowKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <array>

namespace sonlet {

namespace {

constexpr std::uint32_t VkSpace = 0x20;
constexpr std::uint32_t VkOem1 = 0xBA; // ; :
constexpr std::uint32_t VkOemPlus = 0xBB;
constexpr std::uint32_t VkOemComma = 0xBC;
constexpr std::uint32_t VkOemMinus = 0xBD;
constexpr std::uint32_t VkOemPeriod = 0xBE;
constexpr std::uint32_t VkOem2 = 0xBF; // / ?
constexpr std::uint32_t VkOem3 = 0xC0; // ` ~
constexpr std::uint32_t VkOem4 = 0xDB; // [ {
constexpr std::uint32_t VkOem5 = 0xDC; // backslash |
constexpr std::uint32_t VkOem6 = 0xDD; // ] }
constexpr std::uint32_t VkOem7 = 0xDE; // ' "

// X key codes 9..65 (evdev codes + 8) of a US pc105 keyboard: Escape, the digit row, the three
// letter rows and the space bar.
constexpr std::uint32_t FirstXKeyCode = 9;
constexpr std::array<std::uint32_t, 57> XKeyCodeToVk = {
    0x1B,                                                                        // 9 Escape
    '1',        '2',         '3',    '4',  '5',    '6',  '7',     '8', '9', '0', // 10..19
    VkOemMinus, VkOemPlus,   0x08,   0x09, // 20..23 - = Backspace Tab
    'Q',        'W',         'E',    'R',  'T',    'Y',  'U',     'I', 'O', 'P', // 24..33
    VkOem4,     VkOem6,      0x0D,   0x11, // 34..37 [ ] Return Ctrl
    'A',        'S',         'D',    'F',  'G',    'H',  'J',     'K', 'L', // 38..46
    VkOem1,     VkOem7,      VkOem3, 0x10, VkOem5,                // 47..51 ; ' ` Shift backslash
    'Z',        'X',         'C',    'V',  'B',    'N',  'M',     // 52..58
    VkOemComma, VkOemPeriod, VkOem2, 0x10, 0x6A,   0x12, VkSpace, // 59..65 , . / Shift * Alt Space
};

bool HasXKeyCodes() {
    const QString platform = QGuiApplication::platformName();
    return platform == "xcb" || platform.startsWith("wayland");
}

} // namespace

std::uint32_t VirtualKeyFromXKeyCode(std::uint32_t keyCode) {
    if (keyCode < FirstXKeyCode || keyCode >= FirstXKeyCode + XKeyCodeToVk.size()) {
        return 0;
    }
    return XKeyCodeToVk[keyCode - FirstXKeyCode];
}

std::uint32_t VirtualKeyFromQtKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<std::uint32_t>(key); // the same codes in both
    }
    switch (key) {
    case Qt::Key_Space:
        return VkSpace;
    case Qt::Key_Exclam:
        return '1';
    case Qt::Key_At:
        return '2';
    case Qt::Key_NumberSign:
        return '3';
    case Qt::Key_Dollar:
        return '4';
    case Qt::Key_Percent:
        return '5';
    case Qt::Key_AsciiCircum:
        return '6';
    case Qt::Key_Ampersand:
        return '7';
    case Qt::Key_Asterisk:
        return '8';
    case Qt::Key_ParenLeft:
        return '9';
    case Qt::Key_ParenRight:
        return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return VkOem1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return VkOemPlus;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return VkOemComma;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return VkOemMinus;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return VkOemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return VkOem2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return VkOem3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return VkOem4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return VkOem5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return VkOem6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return VkOem7;
    default:
        return 0;
    }
}

std::uint32_t VirtualKeyOf(const QKeyEvent& event) {
    if (HasXKeyCodes() && event.nativeScanCode() != 0) {
        if (const std::uint32_t vk = VirtualKeyFromXKeyCode(event.nativeScanCode())) {
            return vk;
        }
    }
    return VirtualKeyFromQtKey(event.key());
}

} // namespace sonlet
