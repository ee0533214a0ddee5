#pragma once

#include "edit/EditCommand.h"
#include "model/Instrument.h"
#include "ui/logic/KeyMapEditor.h"

#include <QMenu>
#include <QString>
#include <QWidget>
#include <array>
#include <bitset>
#include <functional>
#include <memory>

class QTimer;

namespace sonlet {

// The key map editor of the "Keyboard" tab: a piano of the key map's 96 notes, each key marked
// with the number of the sample it plays in that sample's colour, octave names under it and
// the keys of sounding notes lit. A click gives a key to the current sample and plays it
// while held, a drag gives every key it passes, Shift plays without giving.
class TKeyboardPanel : public QWidget {
public:
    explicit TKeyboardPanel(QWidget* parent = nullptr);

    // What the panel shows: the key map, how many samples there are (keys naming others play
    // nothing) and the current sample, the one clicks assign.
    void Show(const KeyMap& keys, std::int32_t sampleCount, std::int32_t current);
    const KeyMap& Keys() const { return keys_; }
    // Lights the keys of these notes.
    void SetSounding(const std::bitset<KeyMapNotes>& notes);
    const std::bitset<KeyMapNotes>& Sounding() const { return sounding_; }

    // Key map edits, one command per step; the steps of one drag fold into one undo step.
    std::function<void(std::unique_ptr<TEditCommand>)> OnEdit;
    std::function<void(std::int32_t note)> OnNoteOn;
    std::function<void(std::int32_t note)> OnNoteOff;
    // The text for the status bar when the mouse is over a key (empty when it leaves).
    std::function<void(const QString& text)> OnHover;
    // Polled while the panel is shown, to light the keys of sounding notes.
    std::function<std::bitset<KeyMapNotes>()> SoundingNotes;

    // The context menu of a note: "Map all notes to this sample" and "Map from here to the
    // next sample's keys".
    std::unique_ptr<QMenu> NoteMenu(std::int32_t note);
    // The note under a point of the panel, -1 off the keys.
    std::int32_t NoteAt(QPoint point) const;
    // The rectangle of a note's key in the panel.
    QRect KeyRect(std::int32_t note) const;
    // The colour of a sample's keys (counting from 0).
    static QColor SampleColor(std::int32_t sample);
    // "C-4: sample 2" or "C-4: plays nothing (no sample 9)".
    QString Describe(std::int32_t note) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Carry(const TKeyMapEditor::Step& step);
    void MapWith(const QString& name, const KeyMap& keys);
    void PollSounding();

    TKeyMapEditor editor_;
    KeyMap keys_{};
    std::int32_t sampleCount_ = 1;
    std::int32_t current_ = 0;
    std::bitset<KeyMapNotes> sounding_;
    QTimer* poll_ = nullptr;
};

} // namespace sonlet
