#include "ui/EnvPanel.h"

#include <QMouseEvent>
#include <QPainter>

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
    bool changed = false;
    {
        auto lock = LockForEdit();
        changed = editor_.PressPlot(input.X, input.Y);
    }
    if (changed) {
        UpdateEnvelope();
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

void TEnvelopePanel::PanelMouseUp(const MouseInput&) { editor_.ReleasePlot(); }

void TEnvelopePanel::PointMouseDown(TShape& marker, const MouseInput& input) {
    if (!editor_.Bound()) {
        return;
    }
    if (input.Button == Qt::LeftButton) {
        editor_.GrabPoint(marker.Tag, input.X, input.Y);
    } else if (input.Button == Qt::RightButton) {
        bool changed = false;
        {
            auto lock = LockForEdit();
            changed = editor_.DeletePoint(marker.Tag);
        }
        if (changed) {
            UpdateEnvelope();
        }
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

void TEnvelopePanel::PointMouseUp(TShape&, const MouseInput&) { editor_.ReleasePoint(); }

} // namespace sonlet
