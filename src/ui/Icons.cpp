#include "ui/Icons.h"

#include <QString>

namespace sonlet {

namespace {

struct IconNames {
    const char* theme;    // freedesktop icon name; empty when the theme has no fitting one
    const char* resource; // base name under :/icons
};

IconNames NamesOf(ToolIcon icon) {
    switch (icon) {
    case ToolIcon::New:
        return {"document-new", "new"};
    case ToolIcon::Open:
        return {"document-open", "open"};
    case ToolIcon::Save:
        return {"document-save", "save"};
    case ToolIcon::Cut:
        return {"edit-cut", "cut"};
    case ToolIcon::Copy:
        return {"edit-copy", "copy"};
    case ToolIcon::Paste:
        return {"edit-paste", "paste"};
    case ToolIcon::Play:
        return {"media-playback-start", "play"};
    case ToolIcon::Stop:
        return {"media-playback-stop", "stop"};
    case ToolIcon::Loop:
        return {"media-playlist-repeat", "loop"};
    case ToolIcon::ZoomIn:
        return {"zoom-in", "zoom-in"};
    case ToolIcon::ZoomOut:
        return {"zoom-out", "zoom-out"};
    case ToolIcon::ZoomOriginal:
        return {"zoom-original", "zoom-original"};
    case ToolIcon::ZoomSelection:
        return {"zoom-fit-best", "zoom-selection"};
    case ToolIcon::Function:
        return {"", "function"};
    }
    return {"", "function"};
}

} // namespace

QIcon MakeToolIcon(ToolIcon icon) {
    const IconNames names = NamesOf(icon);
    QIcon shipped;
    for (const char* size : {"16", "32"}) {
        shipped.addFile(QString(":/icons/%1-%2.png").arg(names.resource, size));
    }
    if (names.theme[0] == '\0') {
        return shipped;
    }
    return QIcon::fromTheme(QString::fromLatin1(names.theme), shipped);
}

} // namespace sonlet
