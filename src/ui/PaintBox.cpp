#include "ui/PaintBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace sonlet {

MouseInput ToInput(const QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    return {event.button(), event.buttons(), p.x(), p.y()};
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TPaintBox::paintEvent(QPaintEvent*) {
    if (OnPaint) {
        QPainter painter(this);
        OnPaint(*this, painter);
    }
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) {
        OnMouseDown(*this, ToInput(*event));
    }
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) {
        OnMouseMove(*this, ToInput(*event));
    }
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) {
        OnMouseUp(*this, ToInput(*event));
    }
}

TShape::TShape(QWidget* parent, Kind kind) : TPaintBox(parent), kind_(kind) {
    if (kind_ == Kind::DottedLine) {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    OnPaint = [this](TPaintBox&, QPainter& painter) { Paint(painter); };
}

void TShape::SetFill(const QColor& fill) {
    fill_ = fill;
    update();
}

void TShape::SetOutline(const QColor& outline) {
    outline_ = outline;
    update();
}

void TShape::Paint(QPainter& painter) {
    if (kind_ == Kind::DottedLine) {
        painter.setPen(QPen(outline_, 1, Qt::DotLine));
        painter.drawLine(0, 0, 0, height() - 1);
        return;
    }
    painter.fillRect(rect(), fill_);
    painter.setPen(QPen(outline_, 1));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

} // namespace sonlet
