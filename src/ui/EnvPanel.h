#pragma once

#include "edit/InstrumentCommands.h"
#include "ui/PaintBox.h"
#include "ui/logic/EnvelopeEditor.h"

#include <QFrame>
#include <QMenu>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace sonlet {

// Shows one instrument envelope as a polyline of up to 12 points and lets the user add,
// move and delete points and drag the sustain and loop lines. Edits the envelope in place
// while the mouse moves, and hands each finished gesture to OnEdit as one command.
class TEnvelopePanel : public QFrame {
public:
    explicit TEnvelopePanel(QWidget* parent = nullptr);

    int Tag = 0; // 1 for the panning envelope
    // Receives one command per gesture (a point added, moved or deleted, a marker moved);
    // the command holds the envelope before and after it.
    std::function<void(std::unique_ptr<TEditCommand>)> OnEdit;
    std::array<TShape*, EnvelopePointCount> Markers{};

    // The envelope being edited (not owned); follow with UpdateEnvelope.
    void SetEnvelope(EnvelopeParams* envelope, EnvelopePoints* points);
    // The instrument's edit lock, held around every change the control makes.
    void SetEditLock(std::recursive_mutex* lock) { editLock_ = lock; }

    // Re-reads the envelope: places the markers, repaints. Writes nothing into it.
    void UpdateEnvelope();

    bool DrawLine() const { return drawLine_; }
    void SetDrawLine(bool drawLine);
    int Zoom() const { return editor_.Zoom; }
    void SetZoom(int zoom);

    const TEnvelopeEditor& Editor() const { return editor_; }
    // The colour of the polyline and the marker lines: the style's shadow colour, darkened
    // so that a thin line stays legible on the white plot.
    QColor LineColor() const { return palette().color(QPalette::Dark).darker(160); }

    void PanelMouseDown(const MouseInput& input);
    void PanelMouseMove(const MouseInput& input);
    void PanelMouseUp(const MouseInput& input);
    void PointMouseDown(TShape& marker, const MouseInput& input);
    void PointMouseMove(TShape& marker, const MouseInput& input);
    void PointMouseUp(TShape& marker, const MouseInput& input);
    // The context menu of point k: "Sustain here", "Loop start here", "Loop end here" and
    // "Delete point"; none when k names no point.
    std::unique_ptr<QMenu> PointMenu(int k);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::unique_lock<std::recursive_mutex> LockForEdit();
    EnvelopeState State() const;
    void BeginGesture();
    // Hands the gesture begun last to OnEdit when it changed the envelope.
    void EndGesture(const std::string& name);
    void EditMarker(TEnvelopeEditor::Marker marker, int k, const std::string& name);
    void DeletePointEdit(int k);

    TEnvelopeEditor editor_;
    bool drawLine_ = false;
    std::recursive_mutex* editLock_ = nullptr;
    bool inGesture_ = false;
    EnvelopeState gestureStart_;
};

} // namespace sonlet
