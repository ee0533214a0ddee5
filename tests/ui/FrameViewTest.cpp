#include "FrameTestKit.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace sonlet;
using namespace sonlet::uitest;

namespace {

QString LastStatus(const QSignalSpy& spy, int panel) {
    for (auto it = spy.crbegin(); it != spy.crend(); ++it) {
        if (it->at(0).toInt() == panel) {
            return it->at(1).toString();
        }
    }
    return "<none>";
}

// A mono sample whose first half is +16384 and second half -16384: one frame per column
// of a 400-pixel image (401 frames), a selection over frames 100..149 and a loop 300..349.
TSample& StepSample(TInstrument& inst) {
    inst.AddSample();
    TSample& s = testkit::FillSample(*inst.CurrentSample(), 401, 1,
                                     [](std::int64_t f, int) { return f < 200 ? 16384 : -16384; });
    s.SetMarkA(100);
    s.SetMarkB(149);
    s.SetLoopType(LoopForward);
    s.SetLoopStart(300);
    s.SetLoopLength(50);
    return s;
}

} // namespace

class FrameViewTest : public QObject {
    Q_OBJECT

private slots:
    void lanesFollowTheChannelCountAndTheScrollBar() {
        ShownFrame f([](TInstrument& inst) {
            AddSample(inst, 8001, 1);
            AddSample(inst, 8001, 2);
            inst.SetCurrentSample(0);
        });
        QCOMPARE(f.frame.pnMain->height(), 150);
        QCOMPARE(f.frame.Panel->width(), 801);
        const int h = f.frame.Panel->height();
        QCOMPARE(f.frame.PaintBox1->width(), 800);
        QCOMPARE(f.frame.PaintBox1->height(), h - 2);
        QVERIFY(f.frame.PaintBox2->isHidden());
        QCOMPARE(f.frame.PlayLine->height(), h);

        f.frame.lbSamples->setCurrentRow(1); // the stereo sample
        QCOMPARE(f.inst.CurrentIndex, 1);
        QVERIFY(!f.frame.PaintBox2->isHidden());
        QCOMPARE(f.frame.PaintBox1->height(), h / 2 - 2);
        QCOMPARE(f.frame.PaintBox2->height(), h / 2 - 2);
        QCOMPARE(f.frame.PaintBox2->y(), h / 2);
        QCOMPARE(f.frame.PaintBox2->width(), 800);

        QVERIFY(f.frame.ScrollBar->isHidden());
        f.frame.ZoomIn();
        QVERIFY(!f.frame.ScrollBar->isHidden());
        QCOMPARE(f.frame.ScrollBar->height(), 16);
        QCOMPARE(f.frame.PlayLine->height(), h - 16);
        QCOMPARE(f.frame.PaintBox2->y(), (h - 16) / 2);
    }

    void selectionDragsInEitherLaneSelectTheSameFrames() {
        ShownFrame f([](TInstrument& inst) {
            AddSample(inst, 8001, 2);
            AddSample(inst, 100);
            inst.SetCurrentSample(0);
        });
        QSignalSpy status(&f.frame, &TfrSonlet::StatusChanged);
        TSample& s = f.Sample();
        // 10 frames a column: XToFrame(x) = 10 x.
        Drag(*f.frame.PaintBox2, {500, 20}, {200, 20});
        QCOMPARE(s.MarkA, 5000);
        QCOMPARE(s.MarkB, 2000);
        QCOMPARE(s.SelStart, 2000);
        QCOMPARE(s.SelEnd, 5000);
        QCOMPARE(LastStatus(status, StatusPositionPanel), QString("Position: 2001"));
        QCOMPARE(LastStatus(status, StatusSelectionPanel), QString("Selected: 2000-5000"));
        // The status texts follow the sample shown, not the mouse's last visit.
        f.frame.lbSamples->setCurrentRow(1);
        QCOMPARE(LastStatus(status, StatusSelectionPanel), QString());
        QCOMPARE(LastStatus(status, StatusPositionPanel), QString());
        f.frame.lbSamples->setCurrentRow(0);
        QCOMPARE(LastStatus(status, StatusSelectionPanel), QString("Selected: 2000-5000"));

        Drag(*f.frame.PaintBox1, {100, 20}, {2000, 20}); // dragged out past the right edge
        QCOMPARE(s.MarkA, 1000);
        QCOMPARE(s.MarkB, 8000);

        Press(*f.frame.PaintBox1, {300, 5});
        Release(*f.frame.PaintBox1, {300, 5});
        QCOMPARE(s.MarkA, -1);
        QCOMPARE(s.MarkB, -1);
        QCOMPARE(LastStatus(status, StatusSelectionPanel), QString());
        Move(*f.frame.PaintBox1, {40, 5}, Qt::NoButton);
        QCOMPARE(LastStatus(status, StatusSelectionPanel), QString());
        QCOMPARE(LastStatus(status, StatusPositionPanel), QString("Position: 401"));
        QCOMPARE(s.MarkA, -1); // hovering selects nothing
    }

    void loopMarkerDragsAreAcceptedAndRefused() {
        ShownFrame f([](TInstrument& inst) {
            TSample& s = AddSample(inst, 8001);
            s.SetLoopType(LoopForward);
            s.SetLoopStart(1000);
            s.SetLoopLength(2000);
        });
        TSample& s = f.Sample();
        TPaintBox& lane = *f.frame.PaintBox1;

        Move(lane, {101, 5}, Qt::NoButton);
        QCOMPARE(lane.cursor().shape(), Qt::SizeHorCursor);
        Move(lane, {110, 5}, Qt::NoButton);
        QCOMPARE(lane.cursor().shape(), Qt::ArrowCursor);

        Press(lane, {99, 5}); // within a pixel of the start marker at column 100
        Move(lane, {150, 5});
        QCOMPARE(s.LoopStart, 1500);
        QCOMPARE(s.LoopLength, 2000);
        QCOMPARE(f.frame.lbLoopStart->text(), QString("Loop start: 1500"));
        Move(lane, {350, 5}); // frame 3500 lies past the loop end: refused
        QCOMPARE(s.LoopStart, 1500);
        Release(lane, {350, 5});
        QCOMPARE(s.MarkA, -1); // a marker drag makes no selection

        Press(lane, {349, 5}); // the end marker, at frame 3499
        Move(lane, {500, 5});
        QCOMPARE(s.LoopStart, 1500);
        QCOMPARE(s.LoopLength, 3500);
        QCOMPARE(f.frame.lbLoopLen->text(), QString("Loop length: 3500"));
        Move(lane, {140, 5}); // left of the loop start: refused
        QCOMPARE(s.LoopLength, 3500);
        Release(lane, {140, 5});

        // A start dragged further than the length allows stops where the loop ends on the
        // last frame, and the property panel keeps that loop as it is.
        Press(lane, {150, 5});
        Move(lane, {470, 5});
        QCOMPARE(s.LoopStart, 8001 - 3500);
        QCOMPARE(s.LoopLength, 3500);
        QCOMPARE(s.LoopEndPos, 8000);
        QCOMPARE(f.frame.tbLoopStart->value(), 8001 - 3500);
        Release(lane, {470, 5});
    }

    void zoomStepsAndScrollRules() {
        ShownFrame f([](TInstrument& inst) { AddSample(inst, 44100); });
        QSignalSpy status(&f.frame, &TfrSonlet::StatusChanged);
        TSample& s = f.Sample();
        QScrollBar& bar = *f.frame.ScrollBar;
        f.frame.ZoomIn();
        QCOMPARE(ZoomFactor, 2.0);
        QCOMPARE(bar.value(), 0);
        QCOMPARE(f.frame.XToFrame(0), 0);
        QCOMPARE(LastStatus(status, StatusZoomPanel), QString("Zoom: 200%"));
        const int page = bar.pageStep();
        QCOMPARE(page, 22049);
        QCOMPARE(bar.maximum(), 44100 - page);

        bar.setValue(5000);
        f.frame.ZoomIn();
        QCOMPARE(ZoomFactor, 4.0);
        QCOMPARE(f.frame.XToFrame(0), 5000); // the first visible frame stays
        QCOMPARE(bar.pageStep(), 11024);

        bar.setValue(1'000'000); // past the end: the last frame fills the last column
        QCOMPARE(f.frame.XToFrame(800), 44099);
        QCOMPARE(f.frame.XToFrame(0), 44100 - 11024);

        s.SetMarkA(20000);
        s.SetMarkB(21000);
        f.frame.ZoomIn();
        QCOMPARE(ZoomFactor, 44.1);
        QCOMPARE(f.frame.XToFrame(0), 20000);
        QCOMPARE(LastStatus(status, StatusZoomPanel), QString("Zoom: 4410%"));

        s.SetMarkB(20001); // one frame apart: the view still shows two frames
        f.frame.ZoomIn();
        QCOMPARE(ZoomFactor, 22050.0);
        QCOMPARE(f.frame.Window().Visible, 2);
        s.ClearMarks();
        f.frame.ZoomIn();
        QCOMPARE(ZoomFactor, 22050.0);

        ZoomFactor = 1.5;
        f.frame.ZoomOut();
        QCOMPARE(ZoomFactor, 1.0);
        QVERIFY(bar.isHidden());
        f.frame.ZoomOut();
        QCOMPARE(ZoomFactor, 1.0);
        f.frame.ZoomIn();
        f.frame.ResetZoom();
        QCOMPARE(ZoomFactor, 1.0);
        QVERIFY(bar.isHidden());
    }

    void shortOrEmptySamplesWhileZoomedStillRefreshTheView() {
        ShownFrame f([](TInstrument& inst) { AddSample(inst, 44100); });
        f.frame.ZoomIn();
        f.frame.ZoomIn();
        f.frame.ZoomIn();
        f.frame.ScrollBar->setValue(f.frame.ScrollBar->maximum());

        f.frame.tbSampleNewClick(); // an empty sample becomes current
        QCOMPARE(ZoomFactor, 8.0);  // the zoom is program-wide and stays
        QCOMPARE(f.frame.lbNumFrames->text(), QString("0 frames"));
        QCOMPARE(f.Sample().LoopStart, -1); // showing it set no loop
        QCOMPARE(f.Sample().LoopLength, 0);
        QVERIFY(f.frame.ScrollBar->maximum() >= f.frame.ScrollBar->minimum());
        QCOMPARE(f.frame.XToFrame(400), 0);
        QVERIFY(!f.frame.PaintBox1->grab().isNull());

        testkit::FillSample(f.Sample(), 3, 1, [](std::int64_t, int) { return 1000; });
        f.frame.UpdateView(-1);
        QCOMPARE(f.frame.lbNumFrames->text(), QString("3 frames"));
        QCOMPARE(f.frame.XToFrame(800), 1);
        f.frame.ScrollBar->setValue(f.frame.ScrollBar->maximum());
        QCOMPARE(f.frame.XToFrame(799), 2); // scrolled to the end, the last frame shows
        QVERIFY(!f.frame.PaintBox1->grab().isNull());
    }

    void laneRenderingShowsWaveSelectionAndLoop() {
        TInstrument inst;
        StepSample(inst);
        TfrSonlet frame;
        frame.SetInstrument(&inst);
        frame.BackgroundColor = QColor(0x41, 0x74, 0xAB);
        frame.SelectionColor = QColor(0xA4, 0xBF, 0xDD);
        frame.AccentColor = QColor(0xFF, 0xFF, 0x00);
        frame.CenterLineColor = QColor(0xFF, 0xFF, 0xFF);
        frame.WaveColor = QColor(0xE0, 0xE0, 0xE0);
        frame.ShowPeaks = false; // the picture of one value per column
        ZoomFactor = 1.0;

        QImage image(400, 100, QImage::Format_RGB32);
        frame.PaintToImage(image, 0);
        const auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
        QCOMPARE(at(50, 5), frame.BackgroundColor);
        QCOMPARE(at(100, 5), frame.SelectionColor);
        QCOMPARE(at(149, 90), frame.SelectionColor);
        QCOMPARE(at(150, 5), frame.BackgroundColor);
        QCOMPARE(at(50, 50), frame.CenterLineColor);
        QCOMPARE(at(120, 50), frame.CenterLineColor);
        // +16384 at a height of 100 lies at y 25, -16384 at y 75.
        QCOMPARE(at(50, 25), frame.WaveColor);
        QCOMPARE(at(120, 25), frame.WaveColor);
        QCOMPARE(at(120, 75), frame.SelectionColor);
        QCOMPARE(at(250, 75), frame.WaveColor);
        QCOMPARE(at(250, 25), frame.BackgroundColor);
        QCOMPARE(at(399, 75), frame.WaveColor);
        // Dotted loop markers at columns 300 and 349: wave-coloured dots, accent gaps.
        for (const int x : {300, 349}) {
            QCOMPARE(at(x, 10), frame.WaveColor);
            QCOMPARE(at(x, 11), frame.AccentColor);
        }
        QCOMPARE(at(301, 11), frame.BackgroundColor);

        inst.CurrentSample()->ClearMarks(); // without a selection the gaps are background
        frame.PaintToImage(image, 0);
        QCOMPARE(at(300, 11), frame.BackgroundColor);
        QCOMPARE(at(120, 5), frame.BackgroundColor);

        inst.CurrentSample()->SetFormat(1, 2, 44100, 0); // no data: no waveform line
        inst.CurrentSample()->SetLoopStart(0);
        image.fill(Qt::black);
        frame.PaintToImage(image, 0);
        QCOMPARE(at(50, 25), frame.BackgroundColor);
        QCOMPARE(at(50, 50), frame.CenterLineColor);
        QCOMPARE(at(0, 10), frame.WaveColor); // the loop markers still show
        QCOMPARE(at(0, 11), frame.BackgroundColor);
    }

    // At full view a column covers 12500 frames; one burst of 100 full-scale frames among
    // ten million silent ones must still show, as a line over the lane's whole height.
    void peaksShowAShortBurstInALongSample() {
        const std::int64_t burst = 6'543'210;
        ShownFrame f([&](TInstrument& inst) {
            inst.AddSample();
            TSample& s = testkit::FillSample(*inst.CurrentSample(), 10'000'000, 1);
            for (std::int64_t i = burst; i < burst + 100; ++i) {
                s.SetValue(i % 2 == 0 ? 32767 : -32768, i);
            }
            s.ValuesChanged(burst, burst + 100);
        });
        QImage image(800, 100, QImage::Format_RGB32);
        f.frame.PaintToImage(image, 0);
        const int x = f.frame.FrameToX(burst);
        for (int y = 1; y < 100; ++y) {
            QCOMPARE(QColor(image.pixel(x, y)), f.frame.WaveColor);
        }
        QCOMPARE(QColor(image.pixel(x - 3, 10)), f.frame.BackgroundColor);
        QCOMPARE(QColor(image.pixel(x + 3, 90)), f.frame.BackgroundColor);

        // Zoom to selection shows exactly the selected frames; that far in, each frame's
        // value gets a mark of its own beside the lines that join them.
        f.Sample().SetMarkA(burst + 10);
        f.Sample().SetMarkB(burst + 59);
        f.frame.ZoomToSelection();
        QCOMPARE(f.frame.XToFrame(0), burst + 10);
        QCOMPARE(f.frame.XToFrame(800), burst + 59);
        f.frame.PaintToImage(image, 0);
        const int mark = f.frame.FrameToX(burst + 12); // +32767 lies at y 1
        QCOMPARE(QColor(image.pixel(mark, 1)), f.frame.WaveColor);
        QCOMPARE(QColor(image.pixel(mark + 1, 2)), f.frame.WaveColor);
        QCOMPARE(QColor(image.pixel(mark - 1, 0)), f.frame.WaveColor);
        QCOMPARE(QColor(image.pixel(mark + 5, 1)), f.frame.SelectionColor);
    }

    void shownLanePaintsTheCurrentColours() {
        ShownFrame f([](TInstrument& inst) {
            TSample& s = AddSample(inst, 8001);
            s.SetMarkA(2000);
            s.SetMarkB(3000);
        });
        f.frame.BackgroundColor = QColor(0, 0, 0);
        f.frame.SelectionColor = QColor(0, 0, 0x80);
        f.frame.RedrawWaveforms();
        const QImage shot = f.frame.PaintBox1->grab().toImage();
        QCOMPARE(QColor(shot.pixel(100, 2)), f.frame.BackgroundColor);
        QCOMPARE(QColor(shot.pixel(250, 2)), f.frame.SelectionColor);
    }
};

QTEST_MAIN(FrameViewTest)
#include "FrameViewTest.moc"
