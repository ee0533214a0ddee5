#include "ui/EnvPanel.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr int MarkerSize = 5;

} // namespace

TEnvelopePanel::TEnvelopePanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    setMouseTracking(true);
    for (std::size_t i = 0; i < Markers.size(); ++i) {
        auto* marker = new TShape(this);
        marker->Tag = static_cast<int>(i);
        marker->SetFill(Qt::white);
        marker->SetOutline(Qt::black);
        marker->setCursor(Qt::CrossCursor);
        marker->resize(MarkerSize, MarkerSize);
        marker->hide();
        marker->OnMouseDown = [this](TPaintBox& m, const MouseInput& in) {
            PointMouseDown(static_cast<TShape&>(m), in);
        };
        marker->OnMouseMove = [this](TPaintBox& m, const MouseInput& in) {
            PointMouseMove(static_cast<TShape&>(m), in);
        };
        marker->OnMouseUp = [this](TPaintBox& m, const MouseInput& in) {
            PointMouseUp(static_cast<TShape&>(m), in);
        };
        Markers[i] = marker;
    }
}

std::unique_lock<std::recursive_mutex> TEnvelopePanel::LockForEdit() {
    return editLock_ != nullptr ? std::unique_lock(*editLock_)
                                : std::unique_lock<std::recursive_mutex>();
}

EnvelopeState TEnvelopePanel::State() const {
    return editor_.Bound() ? EnvelopeState{*editor_.Envelope, *editor_.Points} : EnvelopeState{};
}

void TEnvelopePanel::BeginGesture() {
    gestureStart_ = State();
    inGesture_ = true;
}

void TEnvelopePanel::EndGesture(const std::string& name) {
    if (!inGesture_) {
        return;
    }
    inGesture_ = false;
    const EnvelopeState now = State();
    if (OnEdit && editor_.Bound() && now != gestureStart_) {
        OnEdit(std::make_unique<TEnvelopeCommand>(
            name, Tag == 1 ? EnvelopeKind::Panning : EnvelopeKind::Volume, gestureStart_, now));
    }
}

void TEnvelopePanel::SetEnvelope(EnvelopeParams* envelope, EnvelopePoints* points) {
    editor_.Envelope = envelope;
    editor_.Points = points;
    // A drag begun on the previous envelope must not go on in the new one.
    editor_.ReleasePlot();
    editor_.ReleasePoint();
    if (!editor_.Bound()) {
        UpdateEnvelope(); // hides the markers of the envelope that is gone
    }
}

void TEnvelopePanel::UpdateEnvelope() {
    editor_.Width = width();
    editor_.Height = height();
    if (!editor_.Bound()) {
        for (TShape* marker : Markers) {
            marker->hide();
        }
        update();
        return;
    }
    const QColor background = editor_.Envelope->Enabled != 0
                                  ? QColor(Qt::white)
                                  : QWidget::palette().color(QPalette::Button);
    // Called on every step of a drag: a new palette only when the colour really changes.
    if (palette().color(QPalette::Window) != background) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, background);
        setPalette(pal);
    }
    // Points are drawn as the envelope holds them; only the user's edits put them in order.
    const int count = editor_.Count();
    for (int i = 0; i < static_cast<int>(Markers.size()); ++i) {
        if (i < count) {
            Markers[static_cast<std::size_t>(i)]->move(editor_.PointLeft(i), editor_.PointTop(i));
            Markers[static_cast<std::size_t>(i)]->show();
        } else {
            Markers[static_cast<std::size_t>(i)]->hide();
        }
    }
    update();
}

void TEnvelopePanel::SetDrawLine(bool drawLine) {
    drawLine_ = drawLine;
    update();
}

void TEnvelopePanel::SetZoom(int zoom) {
    editor_.Zoom = zoom;
    UpdateEnvelope();
}

void TEnvelopePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!editor_.Bound()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(LineColor(), 1));
    if (drawLine_) {
        painter.drawLine(0, height() / 2, width() - 1, height() / 2);
    }
    const int count = editor_.Count();
    for (int i = 1; i < count; ++i) {
        painter.drawLine(editor_.PointLeft(i - 1) + 2, editor_.PointTop(i - 1) + 2,
                         editor_.PointLeft(i) + 2, editor_.PointTop(i) + 2);
    }
    const auto verticalAt = [&](int index) {
        const int x = editor_.PointLeft(index) + 2;
        painter.drawLine(x, 0, x, height() - 1);
    };
    if (editor_.Envelope->SustainOn != 0 && editor_.SustainIndex() >= 0) {
        verticalAt(editor_.SustainIndex());
    }
    if (editor_.Envelope->LoopOn != 0) {
        painter.setPen(QPen(LineColor(), 1, Qt::DotLine));
        for (const int index : {editor_.LoopStartIndex(), editor_.LoopEndIndex()}) {
            if (index >= 0) {
                verticalAt(index);
            }
        }
    }
}

void TEnvelopePanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    UpdateEnvelope();
}

void TEnvelopePanel::mousePressEvent(QMouseEvent* event) { PanelMouseDown(ToInput(*event)); }
void TEnvelopePanel::mouseMoveEvent(QMouseEvent* event) { PanelMouseMove(ToInput(*event)); }
void TEnvelopePanel::mouseReleaseEvent(QMouseEvent* event) { PanelMouseUp(ToInput(*event)); }

void TEnvelopePanel::PanelMouseDown(const MouseInput& input) {
    if (input.Button != Qt::LeftButton || !editor_.Bound()) {
        return;
    }
    BeginGesture();
    bool changed = false;
    {
        auto lock = LockForEdit();
        changed = editor_.PressPlot(input.X, input.Y);
    }
    if (changed) {
        UpdateEnvelope();
    }
    if (!editor_.DraggingMarker) {
        EndGesture("Add Envelope Point");
    }
}

void TEnvelopePanel::PanelMouseMove(const MouseInput& input) {
    if (!editor_.Bound()) {
        return;
    }
    if (!editor_.DraggingMarker) {
        setCursor(editor_.FindMarker(input.X, false) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const int before = editor_.DragIndex;
    {
        auto lock = LockForEdit();
        editor_.DragMarkerTo(input.X);
    }
    if (editor_.DragIndex != before) {
        UpdateEnvelope();
    }
}

void TEnvelopePanel::PanelMouseUp(const MouseInput&) {
    editor_.ReleasePlot();
    EndGesture("Move Envelope Marker");
}

void TEnvelopePanel::PointMouseDown(TShape& marker, const MouseInput& input) {
    if (!editor_.Bound()) {
        return;
    }
    // The right button opens the point's context menu (contextMenuEvent).
    if (input.Button == Qt::LeftButton) {
        BeginGesture();
        editor_.GrabPoint(marker.Tag, input.X, input.Y);
    }
}

void TEnvelopePanel::PointMouseMove(TShape& marker, const MouseInput& input) {
    if (!editor_.Bound() || !editor_.DraggingPoint) {
        return;
    }
    const auto index = static_cast<std::size_t>(editor_.DragIndex);
    if (index >= Markers.size()) {
        return;
    }
    // The grabbed marker receives the moves; map them to the dragged square's corner.
    const QPoint inPanel = marker.mapToParent(QPoint(input.X, input.Y));
    const int left = inPanel.x() - editor_.DragX;
    const int top = inPanel.y() - editor_.DragY;
    bool changed = false;
    {
        auto lock = LockForEdit();
        changed = editor_.DragPointTo(left, top);
    }
    if (changed) {
        UpdateEnvelope();
    }
}

void TEnvelopePanel::PointMouseUp(TShape&, const MouseInput&) {
    editor_.ReleasePoint();
    EndGesture("Move Envelope Point");
}

void TEnvelopePanel::EditMarker(TEnvelopeEditor::Marker marker, int k, const std::string& name) {
    BeginGesture();
    bool changed = false;
    {
        auto lock = LockForEdit();
        changed = editor_.SetMarker(marker, k);
    }
    if (changed) {
        UpdateEnvelope();
    }
    EndGesture(name);
}

void TEnvelopePanel::DeletePointEdit(int k) {
    BeginGesture();
    bool changed = false;
    {
        auto lock = LockForEdit();
        changed = editor_.DeletePoint(k);
    }
    if (changed) {
        UpdateEnvelope();
    }
    EndGesture("Delete Envelope Point");
}

std::unique_ptr<QMenu> TEnvelopePanel::PointMenu(int k) {
    if (!editor_.Bound() || k < 0 || k >= editor_.Count()) {
        return nullptr;
    }
    using Marker = TEnvelopeEditor::Marker;
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction("Sustain here", this,
                    [this, k] { EditMarker(Marker::Sustain, k, "Sustain Here"); });
    menu->addAction("Loop start here", this,
                    [this, k] { EditMarker(Marker::LoopStart, k, "Loop Start Here"); });
    menu->addAction("Loop end here", this,
                    [this, k] { EditMarker(Marker::LoopEnd, k, "Loop End Here"); });
    menu->addSeparator();
    QAction* remove = menu->addAction("Delete point", this, [this, k] { DeletePointEdit(k); });
    remove->setEnabled(k > 0); // point 0 starts the envelope and stays
    return menu;
}

// On a point's square, that point; elsewhere the point whose column is nearest the mouse,
// within a few pixels.
void TEnvelopePanel::contextMenuEvent(QContextMenuEvent* event) {
    int k = -1;
    const QPoint at = event->pos();
    int best = 5;
    for (int i = 0; i < editor_.Count(); ++i) {
        const QRect square = Markers[static_cast<std::size_t>(i)]->geometry();
        const int distance = square.contains(at) ? 0 : std::abs(square.center().x() - at.x());
        if (distance < best) {
            best = distance;
            k = i;
        }
    }
    if (std::unique_ptr<QMenu> menu = PointMenu(k)) {
        menu->exec(event->globalPos());
    }
}

} // namespace sonlet
