#include "playback/KeyMap.h"

namespace sonlet {

std::uint8_t KeyToNote(std::uint32_t virtualKey) {
    switch (virtualKey) {
    case 0x5A:
        return 0; // Z
    case 0x53:
        return 1; // S
    case 0x58:
        return 2; // X
    case 0x44:
        return 3; // D
    case 0x43:
        return 4; // C
    case 0x56:
        return 5; // V
    case 0x47:
        return 6; // G
    case 0x42:
        return 7; // B
    case 0x48:
        return 8; // H
    case 0x4E:
        return 9; // N
    case 0x4A:
        return 10; // J
    case 0x4D:
        return 11; // M
    case 0x51:
        return 12; // Q
    case 0xBC:
        return 12; // comma
    case 0x32:
        return 13; // 2
    case 0x4C:
        return 13; // L
    case 0x57:
        return 14; // W
    case 0xBE:
        return 14; // full stop
    case 0x33:
        return 15; // 3
    case 0xBA:
        return 15; // semicolon
    case 0x45:
        return 16; // E
    case 0xBF:
        return 16; // slash
    case 0x52:
        return 17; // R
    case 0x35:
        return 18; // 5
    case 0x54:
        return 19; // T
    case 0x36:
        return 20; // 6
    case 0x59:
        return 21; // Y
    case 0x37:
        return 22; // 7
    case 0x55:
        return 23; // U
    case 0x49:
        return 24; // I
    case 0x39:
        return 25; // 9
    case 0x4F:
        return 26; // O
    case 0x30:
        return 27; // 0
    case 0x50:
        return 28; // P
    case 0xDB:
        return 29; // left bracket
    case 0xBB:
        return 30; // equals sign
    case 0xDD:
        return 31; // right bracket
    default:
        return NoNote;
    }
}

} // namespace sonlet
