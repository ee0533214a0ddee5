#pragma once

namespace sonlet {

// True when the toolkit can be expected to open windows: on Windows always; elsewhere when
// QT_QPA_PLATFORM names a platform that needs no display server (offscreen, for one), or when
// a Wayland or X display is named and, when it is local, its socket takes a connection. The
// toolkit ends the process when it finds no display, so whatever must not end that way asks
// here first.
bool HasDisplay();

} // namespace sonlet
