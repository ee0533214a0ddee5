#pragma once

#include <QColor>
#include <QWidget>
#include <functional>

class QMouseEvent;
class QPainter;

namespace sonlet {

// A mouse event as the editor's handlers take it, in the receiving widget's coordinates.
struct MouseInput {
    Qt::MouseButton Button = Qt::NoButton; // the button that changed (none for a move)
    Qt::MouseButtons Buttons;              // the buttons held
    int X = 0;
    int Y = 0;
};

// The event in the form the handlers take, at the position in the receiving widget.
MouseInput ToInput(const QMouseEvent& event);

// A plain drawing surface whose painting and mouse handling belong to its owner.
class TPaintBox : public QWidget {
public:
    explicit TPaintBox(QWidget* parent = nullptr);

    int Tag = 0;
    std::function<void(TPaintBox&, QPainter&)> OnPaint;
    std::function<void(TPaintBox&, const MouseInput&)> OnMouseDown;
    std::function<void(TPaintBox&, const MouseInput&)> OnMouseMove;
    std::function<void(TPaintBox&, const MouseInput&)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A filled rectangle with an outline, or a vertical dotted line: the editor's markers,
// piano keys and play line.
class TShape : public TPaintBox {
public:
    enum class Kind { Rectangle, DottedLine };

    explicit TShape(QWidget* parent = nullptr, Kind kind = Kind::Rectangle);

    void SetFill(const QColor& fill);
    void SetOutline(const QColor& outline);

private:
    void Paint(QPainter& painter);

    Kind kind_;
    QColor fill_{Qt::white};
    QColor outline_{Qt::black};
};

} // namespace sonlet
