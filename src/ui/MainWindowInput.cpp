// The main window's view of every key and wheel event: the keyboard piano and the wheel zoom.
#include "playback/KeyMap.h"
#include "ui/Frame.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowKeys.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWheelEvent>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr std::int32_t PianoVelocity = 100;
constexpr int WheelNotch = 120;
// How long a key release waits for the press that would make it half of a repeat pair.
constexpr std::chrono::milliseconds RepeatPairWindow{30};

} // namespace

void TfrmMain::FormKeyDown(std::uint32_t virtualKey) {
    const std::uint8_t offset = KeyToNote(virtualKey);
    if (offset == NoNote || HeldKeys[virtualKey]) {
        return;
    }
    HeldKeys[virtualKey] = true;
    if (Player) {
        Player->NoteOn(Instrument, KeyboardBaseNote + offset, PianoVelocity);
    }
}

void TfrmMain::FormKeyUp(std::uint32_t virtualKey) {
    const std::uint8_t offset = KeyToNote(virtualKey);
    if (offset == NoNote) {
        return;
    }
    HeldKeys[virtualKey] = false;
    if (Player) {
        Player->NoteOff(Instrument, KeyboardBaseNote + offset);
    }
}

void TfrmMain::FormMouseWheelDown() {
    if (++WheelSteps >= 2) {
        WheelSteps = 0;
        if (wheelAnchor_) {
            Sonlet->ZoomAbout(*wheelAnchor_, false);
        } else {
            Sonlet->ZoomOut();
        }
    }
}

void TfrmMain::FormMouseWheelUp() {
    if (--WheelSteps <= -2) {
        WheelSteps = 0;
        if (wheelAnchor_) {
            Sonlet->ZoomAbout(*wheelAnchor_, true);
        } else {
            Sonlet->ZoomIn();
        }
    }
}

bool TfrmMain::MatchesMenuShortcut(const QKeyEvent& event) const {
    const QKeySequence pressed(event.keyCombination());
    for (const QAction* action : shortcutActions_) {
        if (action->isEnabled() && action->shortcut() == pressed) {
            return true;
        }
    }
    return false;
}

bool TfrmMain::KeyEventForPiano(QObject* watched, QEvent* event) {
    // A key event travels up from the focused control; take it once, where it starts.
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus != nullptr ? static_cast<QObject*>(focus) : this)) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    // Letters typed into a name are text, not notes.
    const bool textField = qobject_cast<QLineEdit*>(focus) != nullptr &&
                           qobject_cast<QAbstractSpinBox*>(focus->parentWidget()) == nullptr;
    if (event->type() == QEvent::ShortcutOverride) {
        // A focused value control keeps the Edit menu's keys.
        if (Sonlet->KeyBelongsToControl(*key, focus)) {
            event->accept();
            return true;
        }
        // The menu takes its other shortcuts even from controls that would use the keys.
        if (MatchesMenuShortcut(*key)) {
            event->ignore();
            return true;
        }
        return false;
    }
    const std::uint32_t vk = VirtualKeyOf(*key);
    if (vk == 0 || vk > 255 || (textField && event->type() == QEvent::KeyPress)) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        PianoKeyPress(vk, key->timestamp());
    } else if (!key->isAutoRepeat()) {
        PianoKeyRelease(vk, key->timestamp());
    }
    return false;
}

// A held key repeats as a release and a press. X11 gives both the same timestamp, and Qt
// marks only the pairs whose press it already had in its queue. So a release waits a moment:
// a press of the same key with the release's timestamp makes it a repeat and both vanish;
// any other press of that key, or the end of the wait, lets the release through first.
void TfrmMain::PianoKeyPress(std::uint32_t virtualKey, qulonglong timestamp) {
    std::optional<qulonglong>& pending = pendingRelease_[virtualKey];
    if (pending) {
        const bool repeat = *pending == timestamp;
        pending.reset();
        if (repeat) {
            return;
        }
        FormKeyUp(virtualKey);
    }
    FormKeyDown(virtualKey);
}

void TfrmMain::PianoKeyRelease(std::uint32_t virtualKey, qulonglong timestamp) {
    std::optional<qulonglong>& pending = pendingRelease_[virtualKey];
    if (pending) {
        // A second release without a press between: the key is up, end the note once.
        pending.reset();
        FormKeyUp(virtualKey);
        return;
    }
    // Without a time the release cannot be half of a pair: it ends the note at once.
    if (timestamp == 0 || KeyToNote(virtualKey) == NoNote) {
        FormKeyUp(virtualKey);
        return;
    }
    pending = timestamp;
    QTimer::singleShot(RepeatPairWindow, this, [this, virtualKey, timestamp] {
        std::optional<qulonglong>& waiting = pendingRelease_[virtualKey];
        if (waiting && *waiting == timestamp) {
            waiting.reset();
            FormKeyUp(virtualKey);
        }
    });
}

bool TfrmMain::WheelEventForZoom(QObject* watched, QEvent* event) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const WheelStamp stamp{wheel->timestamp(), wheel->globalPosition(), wheel->angleDelta()};
    if (stamp == lastWheel_) {
        return false;
    }
    lastWheel_ = stamp;
    const QPoint angle = wheel->angleDelta();
    const Qt::KeyboardModifiers modifiers = wheel->modifiers();
    // A horizontal wheel, or Shift with the vertical one, scrolls a zoomed view.
    if (std::abs(angle.x()) > std::abs(angle.y()) || (modifiers & Qt::ShiftModifier) != 0) {
        Sonlet->ScrollByWheel(angle.x() != 0 ? angle.x() : angle.y());
        return !Sonlet->ScrollsWithWheel(watched);
    }
    wheelAnchor_ = (modifiers & Qt::ControlModifier) != 0
                       ? Sonlet->LaneColumnAt(wheel->globalPosition())
                       : std::nullopt;
    // Positive angles turn the wheel away from the user: zoom in. One notch is 120.
    wheelRemainder_ += angle.y();
    while (wheelRemainder_ >= WheelNotch) {
        wheelRemainder_ -= WheelNotch;
        FormMouseWheelUp();
    }
    while (wheelRemainder_ <= -WheelNotch) {
        wheelRemainder_ += WheelNotch;
        FormMouseWheelDown();
    }
    // The wheel zooms and changes no setting: only the sample list scrolls with it as well.
    return !Sonlet->ScrollsWithWheel(watched);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride && type != QEvent::Wheel) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this || closed_) {
        return false;
    }
    if (type == QEvent::Wheel) {
        return WheelEventForZoom(watched, event);
    }
    return KeyEventForPiano(watched, event);
}

} // namespace sonlet
