#pragma once

#include <QIcon>

namespace sonlet {

// Pictures of the editor's tool bars and the sample list's tool bar.
enum class ToolIcon {
    New,
    Open,
    Save,
    Cut,
    Copy,
    Paste,
    Play,
    Stop,
    Loop,
    ZoomIn,
    ZoomOut,
    ZoomOriginal,
    ZoomSelection,
    Function,
};

// The desktop theme's icon where the theme has one, else the picture shipped with the editor.
QIcon MakeToolIcon(ToolIcon icon);

} // namespace sonlet
