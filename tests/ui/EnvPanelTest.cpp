#include "ui/EnvPanel.h"

#include "FrameTestKit.h"

#include <QtTest>

using namespace sonlet;
using namespace sonlet::uitest;

namespace {

// A shown envelope control of the main window's size over its own envelope.
struct ShownEnvelope {
    EnvelopeParams params;
    EnvelopePoints points{};
    std::recursive_mutex lock;
    TEnvelopePanel panel;

    explicit ShownEnvelope(std::initializer_list<EnvelopePoint> pts) {
        std::size_t i = 0;
        for (const EnvelopePoint& p : pts) {
            points[i++] = p;
        }
        params.Count = static_cast<std::uint8_t>(pts.size());
        params.Enabled = 1;
        panel.resize(305, 65);
        panel.SetEditLock(&lock);
        panel.SetEnvelope(&params, &points);
        panel.UpdateEnvelope();
        panel.show();
        QApplication::processEvents();
    }
    TShape& Marker(int i) { return *panel.Markers[static_cast<std::size_t>(i)]; }
    int Column(int i) const { return panel.Editor().PointLeft(i) + 2; }
};

// Counts the palette changes a widget goes through.
class PaletteChanges : public QObject {
public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Count += event->type() == QEvent::PaletteChange ? 1 : 0;
        return false;
    }
};

} // namespace

class EnvPanelTest : public QObject {
    Q_OBJECT

private slots:
    void markersSitOnThePointsAndClicksAddPoints() {
        ShownEnvelope e({{0, 64}, {162, 32}});
        QVERIFY(e.Marker(0).isVisible());
        QCOMPARE(e.Marker(1).pos(), QPoint(150, 30));
        QCOMPARE(e.Marker(1).size(), QSize(5, 5));
        QVERIFY(e.Marker(2).isHidden());

        Press(e.panel, {250, 45});
        Release(e.panel, {250, 45});
        QCOMPARE(int(e.params.Count), 3);
        QCOMPARE(int(e.points[2].X), e.panel.Editor().PixelToX(250));
        QCOMPARE(int(e.points[2].Y), e.panel.Editor().PixelToY(45));
        QVERIFY(e.Marker(2).isVisible());
        Press(e.panel, {80, 10}, Qt::RightButton); // only the left button adds
        QCOMPARE(int(e.params.Count), 3);
    }

    void draggingKeepsThePaletteAndOnlyTheEnabledFlagChangesIt() {
        ShownEnvelope e({{0, 0}, {100, 32}, {200, 16}});
        PaletteChanges changes;
        e.panel.installEventFilter(&changes);
        TShape& m = e.Marker(1);
        Press(m, {2, 2});
        for (int dx = 1; dx <= 20; ++dx) {
            Move(m, {2 + dx, 2});
        }
        Release(m, {22, 2});
        QCOMPARE(changes.Count, 0);
        e.params.Enabled = 0;
        e.panel.UpdateEnvelope();
        e.panel.UpdateEnvelope();
        QCOMPARE(changes.Count, 1);
        QVERIFY(e.panel.palette().color(QPalette::Window) != QColor(Qt::white));
        e.params.Enabled = 1;
        e.panel.UpdateEnvelope();
        QCOMPARE(changes.Count, 2);
        QCOMPARE(e.panel.palette().color(QPalette::Window), QColor(Qt::white));
    }

    void pointsAreDraggedAndDeletedWithTheMouse() {
        ShownEnvelope e({{0, 0}, {100, 32}, {200, 16}, {300, 48}});
        TShape& m = e.Marker(1);
        const QPoint grab(2, 2);
        Press(m, grab);
        Move(m, grab + QPoint(30, -15)); // the marker keeps the mouse while it moves
        Release(m, grab);
        QCOMPARE(int(e.points[1].X), e.panel.Editor().PixelToX(92 + 30));
        QCOMPARE(int(e.points[1].Y), e.panel.Editor().PixelToY(30 - 15));
        QCOMPARE(m.pos(), QPoint(e.panel.Editor().PointLeft(1), e.panel.Editor().PointTop(1)));

        // Dragged far right, point 1 pushes the later points along.
        Press(m, grab);
        Move(m, grab + QPoint(290 - m.x(), 0));
        Release(m, grab);
        QVERIFY(e.points[2].X > e.points[1].X);
        QVERIFY(e.points[3].X > e.points[2].X);

        // A point's menu deletes it (the right button opens the menu).
        e.params.Sustain = 2;
        e.params.SustainOn = 1;
        Press(e.Marker(2), grab, Qt::RightButton);
        QCOMPARE(int(e.params.Count), 4);
        e.panel.PointMenu(2)->actions().back()->trigger();
        QCOMPARE(int(e.params.Count), 3);
        QCOMPARE(int(e.params.Sustain), 1);
        QVERIFY(e.Marker(3).isHidden());
        QVERIFY(!e.panel.PointMenu(0)->actions().back()->isEnabled()); // point 0 stays
        Press(e.Marker(0), grab);
        Move(e.Marker(0), grab + QPoint(50, 0));
        Release(e.Marker(0), grab);
        QCOMPARE(int(e.points[0].X), 0);
    }

    void sustainAndLoopLinesAreDraggedFromPointToPoint() {
        ShownEnvelope e({{0, 10}, {60, 20}, {120, 30}, {180, 40}, {240, 50}});
        e.params.Sustain = 1;
        e.params.LoopStart = 2;
        e.params.LoopEnd = 3;
        e.params.LoopOn = 1;
        e.panel.UpdateEnvelope();

        Move(e.panel, {e.Column(1), 10}, Qt::NoButton); // sustain is off: no marker there
        QCOMPARE(e.panel.cursor().shape(), Qt::ArrowCursor);
        Move(e.panel, {e.Column(2) + 1, 10}, Qt::NoButton);
        QCOMPARE(e.panel.cursor().shape(), Qt::SizeHorCursor);

        Press(e.panel, {e.Column(3), 20}); // the loop end line
        Move(e.panel, {e.Column(4), 20});
        Release(e.panel, {e.Column(4), 20});
        QCOMPARE(int(e.params.LoopEnd), 4);
        QCOMPARE(int(e.params.Count), 5); // grabbing the line added no point

        e.params.SustainOn = 1;
        e.panel.UpdateEnvelope();
        Press(e.panel, {e.Column(1) - 1, 20});
        Move(e.panel, {e.Column(0), 20});
        Release(e.panel, {e.Column(0), 20});
        QCOMPARE(int(e.params.Sustain), 0);
        Move(e.panel, {e.Column(3), 20}, Qt::NoButton); // released: nothing follows
        QCOMPARE(int(e.params.Sustain), 0);
    }

    void paintsThePolylineAndTheMarkerLines() {
        ShownEnvelope e({{0, 64}, {162, 64}, {324, 0}});
        e.params.Sustain = 1;
        e.params.SustainOn = 1;
        e.params.LoopStart = 0;
        e.params.LoopEnd = 1;
        e.params.LoopOn = 1;
        e.panel.UpdateEnvelope();
        const QImage shot = e.panel.grab().toImage();
        const QRgb line = e.panel.LineColor().rgb();
        const QRgb white = QColor(Qt::white).rgb();
        QCOMPARE(shot.pixel(80, 2), line);           // the segment at y 64
        QCOMPARE(shot.pixel(e.Column(1), 40), line); // the solid sustain line
        QCOMPARE(shot.pixel(e.Column(1) + 3, 40), white);
        QCOMPARE(shot.pixel(30, 30), white); // enabled: a white plot
    }

    void oversizedCountFromAFileShowsTwelvePointsAndWritesNothing() {
        ShownEnvelope e({{0, 1},
                         {20, 2},
                         {40, 3},
                         {60, 4},
                         {80, 5},
                         {100, 6},
                         {120, 7},
                         {140, 8},
                         {160, 9},
                         {180, 10},
                         {200, 11},
                         {220, 12}});
        e.params.Count = 40;
        e.params.Sustain = 30;
        e.params.SustainOn = 1;
        e.panel.UpdateEnvelope();
        for (int i = 0; i < 12; ++i) {
            QVERIFY(e.Marker(i).isVisible());
        }
        QVERIFY(!e.panel.grab().isNull());
        Press(e.panel, {300, 30});
        Release(e.panel, {300, 30});
        QCOMPARE(int(e.params.Count), 40);
        QCOMPARE(int(e.params.Sustain), 30);
    }
};

QTEST_MAIN(EnvPanelTest)
#include "EnvPanelTest.moc"
