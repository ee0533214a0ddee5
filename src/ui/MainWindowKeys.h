#pragma once

#include <cstdint>

class QKeyEvent;

namespace sonlet {

// The Windows virtual-key code (US layout) of the key a key event came from, or 0 when it has
// none. The piano plays by key position: on X11 and Wayland the hardware key code is mapped
// as the key sits on a US keyboard, whatever the active layout; elsewhere (and for events
// without a hardware code) the code comes from the key's Qt value.
std::uint32_t VirtualKeyOf(const QKeyEvent& event);

// The US-layout virtual-key code of an X11/evdev+8 key code; 0 for keys outside the typing
// area.
std::uint32_t VirtualKeyFromXKeyCode(std::uint32_t keyCode);

// The virtual-key code of a Qt key value, shifted US symbols included (Key_At is the 2 key).
std::uint32_t VirtualKeyFromQtKey(int key);

} // namespace sonlet
