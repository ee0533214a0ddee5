#include "ui/KeyboardPanel.h"

#include "edit/KeyMapCommand.h"
#include "model/KeyRanges.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace sonlet {

namespace {

// Room under the keys for the octave names.
constexpr int NameStrip = 13;
// Height of the coloured band at the foot of each key that carries the sample's number.
constexpr int BandHeight = 14;
constexpr int PollMilliseconds = 40;

} // namespace

TKeyboardPanel::TKeyboardPanel(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumHeight(60);
    poll_ = new QTimer(this);
    poll_->setInterval(PollMilliseconds);
    connect(poll_, &QTimer::timeout, this, [this] { PollSounding(); });
}

void TKeyboardPanel::Show(const KeyMap& keys, std::int32_t sampleCount, std::int32_t current) {
    if (keys == keys_ && sampleCount == sampleCount_ && current == current_) {
        return;
    }
    keys_ = keys;
    sampleCount_ = sampleCount;
    current_ = current;
    update();
}

void TKeyboardPanel::SetSounding(const std::bitset<KeyMapNotes>& notes) {
    if (notes != sounding_) {
        sounding_ = notes;
        update();
    }
}

void TKeyboardPanel::PollSounding() {
    if (SoundingNotes) {
        SetSounding(SoundingNotes());
    }
}

void TKeyboardPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    poll_->start();
}

void TKeyboardPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    poll_->stop();
}

QColor TKeyboardPanel::SampleColor(std::int32_t sample) {
    // Light colours far apart for neighbouring numbers, so that adjacent ranges stand out.
    static constexpr std::array<QRgb, MaxSamples> Colors{
        0xF08A8A, 0x8FD68F, 0x8FB3F2, 0xF2D27A, 0xC79BF0, 0x7FDCDC, 0xF5B27A, 0xF29AC8,
        0xC3E07A, 0x7AC7B0, 0xD9B38C, 0xB3B3F2, 0xE0E07A, 0x8CCFF2, 0xE08CE0, 0xA6E6B8};
    return QColor(Colors[static_cast<std::size_t>(sample) % Colors.size()]);
}

QRect TKeyboardPanel::KeyRect(std::int32_t note) const {
    const sonlet::KeyRect r = editor_.Key(note);
    return {r.X, r.Y, r.Width, r.Height};
}

std::int32_t TKeyboardPanel::NoteAt(QPoint point) const {
    return editor_.NoteAt(point.x(), point.y());
}

QString TKeyboardPanel::Describe(std::int32_t note) const {
    const int sample = keys_[static_cast<std::size_t>(note)];
    const QString name = QString::fromStdString(NoteName(note));
    if (sample >= sampleCount_) {
        return name + ": plays nothing (no sample " + QString::number(sample + 1) + ")";
    }
    return name + ": sample " + QString::number(sample + 1);
}

void TKeyboardPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    editor_.Width = width();
    editor_.Height = std::max(height() - NameStrip, 1);
}

void TKeyboardPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QFont small = font();
    small.setPixelSize(9);
    painter.setFont(small);
    const QColor lit(255, 170, 40);
    const auto drawKey = [&](std::int32_t note) {
        const QRect key = KeyRect(note);
        const bool black = TKeyMapEditor::IsBlack(note);
        const int sample = keys_[static_cast<std::size_t>(note)];
        const bool silent = sample >= sampleCount_;
        painter.setPen(Qt::black);
        painter.setBrush(sounding_[static_cast<std::size_t>(note)] ? lit
                         : black                                   ? QColor(30, 30, 30)
                                                                   : QColor(Qt::white));
        painter.drawRect(key.adjusted(0, 0, -1, -1));
        const int band = std::min(BandHeight, key.height() / 2);
        const QRect foot(key.left() + 1, key.bottom() - band, key.width() - 2, band);
        const QColor color = silent ? QColor(150, 150, 150) : SampleColor(sample);
        painter.fillRect(foot, black ? color.darker(130) : color);
        if (sample == current_ && !silent) {
            painter.setPen(QPen(Qt::black, 2));
            painter.drawLine(foot.topLeft(), foot.topRight());
        }
        painter.setPen(silent ? QColor(Qt::white) : QColor(Qt::black));
        painter.drawText(foot, Qt::AlignCenter,
                         silent ? QString("-") : QString::number(sample + 1));
    };
    for (std::int32_t note = 0; note < KeyMapNotes; ++note) {
        if (!TKeyMapEditor::IsBlack(note)) {
            drawKey(note);
        }
    }
    for (std::int32_t note = 0; note < KeyMapNotes; ++note) {
        if (TKeyMapEditor::IsBlack(note)) {
            drawKey(note);
        }
    }
    painter.setPen(palette().color(QPalette::WindowText));
    for (std::int32_t note = 0; note < KeyMapNotes; note += 12) {
        const QRect key = KeyRect(note);
        painter.drawText(QRect(key.left(), editor_.Height, 3 * key.width(), NameStrip),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(NoteName(note)));
    }
}

void TKeyboardPanel::Carry(const TKeyMapEditor::Step& step) {
    if (step.NoteOff >= 0 && OnNoteOff) {
        OnNoteOff(step.NoteOff);
    }
    if (step.Keys && OnEdit) {
        OnEdit(std::make_unique<TKeyMapCommand>("Map Notes", keys_, *step.Keys, editor_.Gesture()));
    }
    if (step.NoteOn >= 0 && OnNoteOn) {
        OnNoteOn(step.NoteOn);
    }
}

void TKeyboardPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const std::int32_t note = NoteAt(event->position().toPoint());
    const bool assign =
        !(event->modifiers() & Qt::ShiftModifier) && current_ >= 0 && current_ < sampleCount_;
    Carry(editor_.Press(keys_, note, static_cast<std::uint8_t>(std::max(current_, 0)), assign));
}

void TKeyboardPanel::mouseMoveEvent(QMouseEvent* event) {
    const std::int32_t note = NoteAt(event->position().toPoint());
    if (OnHover) {
        OnHover(note >= 0 ? Describe(note) : QString());
    }
    if (editor_.Pressed() && (event->buttons() & Qt::LeftButton)) {
        Carry(editor_.MoveTo(keys_, note));
    }
}

void TKeyboardPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Carry(editor_.Release());
    }
}

void TKeyboardPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (OnHover) {
        OnHover(QString());
    }
}

void TKeyboardPanel::MapWith(const QString& name, const KeyMap& keys) {
    if (OnEdit && keys != keys_) {
        OnEdit(std::make_unique<TKeyMapCommand>(name.toStdString(), keys_, keys));
    }
}

std::unique_ptr<QMenu> TKeyboardPanel::NoteMenu(std::int32_t note) {
    auto menu = std::make_unique<QMenu>(this);
    const bool usable = note >= 0 && note < KeyMapNotes && current_ >= 0 && current_ < sampleCount_;
    const auto sample = static_cast<std::uint8_t>(std::max(current_, 0));
    QAction* all = menu->addAction("Map all notes to this sample", this, [this, sample] {
        KeyMap keys = keys_;
        keys.fill(sample);
        MapWith("Map All Notes", keys);
    });
    QAction* run =
        menu->addAction("Map from here to the next sample's keys", this, [this, note, sample] {
            KeyMap keys = keys_;
            MapRunFrom(keys, note, sample);
            MapWith("Map Notes", keys);
        });
    all->setEnabled(usable);
    run->setEnabled(usable);
    return menu;
}

void TKeyboardPanel::contextMenuEvent(QContextMenuEvent* event) {
    NoteMenu(NoteAt(event->pos()))->exec(event->globalPos());
}

} // namespace sonlet
