#include "FrameTestKit.h"
#include "ui/EnvPanel.h"

#include <QAction>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

using namespace sonlet;
using namespace sonlet::uitest;

class FramePanelTest : public QObject {
    Q_OBJECT

private slots:
    void emptySampleShowsItsFormatAndKeepsItsUnsetLoop() {
        ShownFrame f([](TInstrument& inst) { inst.AddSample(); });
        TSample& s = f.Sample();
        QCOMPARE(f.frame.lbFormat->text(), QString("16 bit, stereo"));
        QCOMPARE(f.frame.lbFreq->text(), QString("44100 Hz at C-5"));
        QCOMPARE(f.frame.lbNumFrames->text(), QString("0 frames"));
        QCOMPARE(f.frame.lbSamples->item(0)->text(), QString("1:"));
        QCOMPARE(s.LoopStart, -1);
        QCOMPARE(s.LoopLength, 0);
        QCOMPARE(f.frame.lbLoopStart->text(), QString("Loop start: 0"));
        QCOMPARE(f.frame.lbLoopLen->text(), QString("Loop length: 0"));
    }

    // Values a file may hold beyond the bars are shown at the nearest bound, labelled as
    // they are, and left in the instrument, so that Save writes what was loaded.
    void showingWritesNothingEvenWhenAValueLiesOutsideItsBar() {
        ShownFrame f([](TInstrument& inst) {
            TSample& s = AddSample(inst, 1000);
            s.Volume = 128;
            s.Panning = -100;
            s.Finetune = 17;
            s.SampleName = "Lead";
            inst.Fadeout = 2875;
            // Points out of order, as some files hold them.
            inst.VolEnv = {3, 0, 0, 0, 1, 0, 0};
            inst.VolPoints[0] = {0, 64};
            inst.VolPoints[1] = {30, 40};
            inst.VolPoints[2] = {10, 0};
        });
        TSample& s = f.Sample();
        QCOMPARE(f.frame.tbVolume->value(), 64);
        QCOMPARE(int(s.Volume), 128);
        QCOMPARE(f.frame.lbSampleVolume->text(), QString("Volume: 128"));
        QCOMPARE(int(s.Panning), -100);
        QCOMPARE(f.frame.lbSamplePanning->text(), QString("Panning: -100"));
        QCOMPARE(f.frame.lbSampleFinetune->text(), QString("Finetune: 17"));
        QCOMPARE(f.frame.tbVolFadeout->value(), 2047);
        QCOMPARE(int(f.inst.Fadeout), 2875);
        QCOMPARE(f.frame.lbVolFadeout->text(), QString("Volume fadeout: 2875"));
        QCOMPARE(f.frame.lbNumFrames->text(), QString("1000 frames"));
        QCOMPARE(f.frame.lbFreq->text(), QString("44440 Hz at C-5")); // Finetune 17
        QCOMPARE(f.frame.lbFormat->text(), QString("16 bit, mono"));
        QCOMPARE(f.frame.lbSamples->item(0)->text(), QString("1:Lead"));
        f.frame.PageControl1->setCurrentWidget(f.frame.pnInstrument);
        QApplication::processEvents();
        QCOMPARE(int(f.inst.VolPoints[2].X), 10);
        QCOMPARE(f.frame.envVol->Markers[2]->x(), f.frame.envVol->Editor().PointLeft(2));

        // Every loop inside the sample fits its bars, one ending on the last frame included.
        const auto show = [&](std::int64_t start, std::int64_t length) {
            s.SetLoopType(LoopForward);
            s.SetLoopStart(start);
            s.SetLoopLength(length);
            f.frame.UpdateView(-1);
            QCOMPARE(s.LoopStart, start);
            QCOMPARE(s.LoopLength, length);
        };
        show(0, 1000);
        QCOMPARE(f.frame.tbLoopLen->value(), 1000);
        show(100, 900);
        QCOMPARE(f.frame.tbLoopStart->value(), 100);
        QCOMPARE(f.frame.tbLoopLen->value(), 900);
        QCOMPARE(f.frame.lbLoopStart->text(), QString("Loop start: 100"));
        QCOMPARE(f.frame.lbLoopLen->text(), QString("Loop length: 900"));
        show(300, 0);
        QCOMPARE(f.frame.tbLoopLen->value(), 1);
        show(250, 400);
        QCOMPARE(f.frame.tbLoopStart->maximum(), 1000 - 400);
        QCOMPARE(f.frame.tbLoopLen->maximum(), 1000 - 250);
        show(900, 500); // reaching past the end: shown at the bounds, kept
        QCOMPARE(f.frame.tbLoopStart->value(), 500);

        // Moving a bar writes its value, as before.
        f.frame.tbVolume->setValue(63);
        QCOMPARE(int(s.Volume), 63);
    }

    void switchingSamplesKeepsLoopsThatFit() {
        ShownFrame f([](TInstrument& inst) {
            TSample& big = AddSample(inst, 100000);
            big.SetLoopType(LoopForward);
            big.SetLoopStart(90000);
            big.SetLoopLength(5000);
            TSample& small = AddSample(inst, 600);
            small.SetLoopType(LoopForward);
            small.SetLoopStart(100);
            small.SetLoopLength(200);
            TSample& tiny = AddSample(inst, 2); // ranges that cannot be applied
            tiny.SetLoopStart(0);
            tiny.SetLoopLength(1);
            inst.SetCurrentSample(0);
        });
        f.frame.lbSamples->setCurrentRow(1);
        QCOMPARE(f.inst.CurrentIndex, 1);
        QCOMPARE(f.Sample().LoopStart, 100);
        QCOMPARE(f.Sample().LoopLength, 200);
        f.frame.lbSamples->setCurrentRow(2);
        QCOMPARE(f.Sample().LoopStart, 0);
        QCOMPARE(f.Sample().LoopLength, 1);
        f.frame.lbSamples->setCurrentRow(0);
        QCOMPARE(f.Sample().LoopStart, 90000);
        QCOMPARE(f.Sample().LoopLength, 5000);
    }

    void userMovesWriteTheModel() {
        ShownFrame f([](TInstrument& inst) {
            TSample& s = AddSample(inst, 5000);
            s.Transpose = 50; // beyond what the box shows
        });
        TSample& s = f.Sample();
        QCOMPARE(f.frame.udTransposeSample->value(), 36);
        QCOMPARE(int(s.Transpose), 50); // showing it wrote nothing

        f.frame.tbVolume->setValue(30);
        QCOMPARE(int(s.Volume), 30);
        QCOMPARE(f.frame.lbSampleVolume->text(), QString("Volume: 30"));
        f.frame.tbPanning->setValue(-128);
        QCOMPARE(int(s.Panning), -128);
        QCOMPARE(f.frame.lbSamplePanning->text(), QString("Panning: -128"));
        // The bar keeps the stored byte in range: Finetune - 28 for a 16-bit sample. The
        // format box tells the rate the new tuning plays at C-5.
        QCOMPARE(f.frame.tbFinetune->minimum(), -100);
        QCOMPARE(f.frame.tbFinetune->maximum(), 155);
        f.frame.tbFinetune->setValue(155);
        QCOMPARE(int(s.Finetune), 155);
        f.frame.tbFinetune->setValue(-128);
        QCOMPARE(int(s.Finetune), -100);
        f.frame.tbFinetune->setValue(0);
        f.frame.udTransposeSample->setValue(-12);
        QCOMPARE(int(s.Transpose), -12);
        QCOMPARE(f.frame.lbFreq->text(), QString("22050 Hz at C-5"));
        f.frame.tbVolFadeout->setValue(500);
        QCOMPARE(int(f.inst.Fadeout), 500);
        QCOMPARE(f.frame.lbVolFadeout->text(), QString("Volume fadeout: 500"));

        // A loop chosen for a sample without one spans the whole sample.
        QTest::mouseClick(f.frame.rbLoopPingPong, Qt::LeftButton);
        QCOMPARE(int(s.LoopType), int(LoopPingpong));
        QCOMPARE(s.LoopStart, 0);
        QCOMPARE(s.LoopLength, 5000);
        QCOMPARE(s.LoopStartPos, s.LoopStart);
        QTest::mouseClick(f.frame.rbLoopForward, Qt::LeftButton);
        QCOMPARE(int(s.LoopType), int(LoopForward));
        QCOMPARE(s.LoopLength, 5000);
        f.frame.tbLoopLen->setValue(2500);
        QCOMPARE(s.LoopLength, 2500);
        QCOMPARE(f.frame.lbLoopLen->text(), QString("Loop length: 2500"));
        f.frame.tbLoopStart->setValue(1000);
        QCOMPARE(s.LoopStart, 1000);
        QCOMPARE(f.frame.lbLoopStart->text(), QString("Loop start: 1000"));
        QCOMPARE(s.LoopEndPos, 3499);
        QCOMPARE(f.frame.tbLoopStart->maximum(), 5000 - 2500); // ranges follow at once
        QCOMPARE(f.frame.tbLoopLen->maximum(), 5000 - 1000);
        QTest::mouseClick(f.frame.rbNoLoop, Qt::LeftButton);
        QCOMPARE(int(s.LoopType), int(LoopNone));
        QCOMPARE(s.LoopStartPos, -1);
    }

    void sampleListAndItsToolBar() {
        ShownFrame f([](TInstrument& inst) {
            AddSample(inst, 100).SampleName = "Kick";
            AddSample(inst, 200).SampleName = "Snare";
            AddSample(inst, 300);
        });
        QSignalSpy status(&f.frame, &TfrSonlet::StatusMessage);
        QCOMPARE(f.frame.lbSamples->count(), 3);
        QCOMPARE(f.frame.lbSamples->item(1)->text(), QString("2:Snare"));
        QCOMPARE(f.frame.lbSamples->currentRow(), 2);
        f.frame.lbSamples->setCurrentRow(0);
        QCOMPARE(f.inst.CurrentIndex, 0);
        QCOMPARE(f.frame.lbNumFrames->text(), QString("100 frames"));

        f.frame.tbSampleCut->trigger();
        QCOMPARE(f.inst.SampleCount, 2);
        QCOMPARE(f.inst.CurrentIndex, 0);
        QCOMPARE(f.frame.lbSamples->item(0)->text(), QString("1:Snare"));
        QCOMPARE(f.frame.lbNumFrames->text(), QString("200 frames"));
        f.frame.tbSampleCut->trigger();
        f.frame.tbSampleCut->trigger(); // the last sample stays
        QCOMPARE(f.inst.SampleCount, 1);
        QCOMPARE(f.frame.lbSamples->count(), 1);

        for (int i = 0; i < 15; ++i) {
            f.frame.tbSampleNew->trigger();
        }
        QCOMPARE(f.inst.SampleCount, 16);
        QCOMPARE(f.frame.lbSamples->currentRow(), 15);
        QCOMPARE(status.count(), 0);
        f.frame.tbSampleNew->trigger();
        QCOMPARE(f.inst.SampleCount, 16);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("An instrument holds at most 16 samples."));
        QVERIFY(f.frame.tbSampleCopy->isEnabled());
        QVERIFY(f.frame.tbSampleOpen->isEnabled());
    }

    void instrumentTabFlagsAndZoomButtons() {
        ShownFrame f([](TInstrument& inst) {
            AddSample(inst, 100);
            inst.VolEnv = {3, 1, 0, 2, 1, 1, 0};
            inst.VolPoints[0] = {0, 64};
            inst.VolPoints[1] = {20, 40};
            inst.VolPoints[2] = {40, 0};
            inst.PanEnv = {2, 0, 0, 1, 0, 0, 1};
            inst.PanPoints[1] = {100, 10};
        });
        QVERIFY(f.frame.cbVEEnabled->isChecked());
        QVERIFY(f.frame.cbVESustain->isChecked());
        QVERIFY(!f.frame.cbVELoop->isChecked());
        QVERIFY(!f.frame.cbPEEnabled->isChecked());
        QVERIFY(f.frame.cbPELoop->isChecked());
        QCOMPARE(f.frame.envVol->Zoom(), 8);
        QCOMPARE(f.frame.envPan->Zoom(), 4);
        QVERIFY(f.frame.sbZoom8->isChecked());
        QVERIFY(f.frame.sbZoom4a->isChecked());
        QVERIFY(!f.frame.envVol->DrawLine());
        QVERIFY(f.frame.envPan->DrawLine());

        QTest::mouseClick(f.frame.sbZoom2, Qt::LeftButton);
        QCOMPARE(f.frame.envVol->Zoom(), 2);
        QCOMPARE(f.frame.envPan->Zoom(), 4);
        QTest::mouseClick(f.frame.sbZoom1a, Qt::LeftButton);
        QCOMPARE(f.frame.envPan->Zoom(), 1);
        QCOMPARE(f.frame.envVol->Zoom(), 2);

        f.frame.PageControl1->setCurrentWidget(f.frame.pnInstrument);
        QApplication::processEvents();
        const auto background = [&](TEnvelopePanel& env) {
            return QColor(env.grab().toImage().pixel(env.width() - 4, 3));
        };
        QCOMPARE(background(*f.frame.envVol), QColor(Qt::white));
        QTest::mouseClick(f.frame.cbVEEnabled, Qt::LeftButton);
        QCOMPARE(int(f.inst.VolEnv.Enabled), 0);
        QVERIFY(background(*f.frame.envVol) != QColor(Qt::white));
        QTest::mouseClick(f.frame.cbPESustain, Qt::LeftButton);
        QCOMPARE(int(f.inst.PanEnv.SustainOn), 1);
        QTest::mouseClick(f.frame.cbPELoop, Qt::LeftButton);
        QCOMPARE(int(f.inst.PanEnv.LoopOn), 0);
        QCOMPARE(int(f.inst.VolEnv.Count), 3); // the flags change nothing else
    }

    void envelopePanelsLetGoOfAnInstrumentThatIsTakenAway() {
        ZoomFactor = 1.0;
        auto inst = std::make_unique<TInstrument>();
        AddSample(*inst, 100);
        inst->VolEnv = {3, 1, 0, 2, 1, 1, 1};
        inst->VolPoints[1] = {20, 40};
        inst->VolPoints[2] = {40, 0};
        TfrSonlet frame;
        frame.resize(801, 450);
        frame.SetInstrument(inst.get());
        frame.InitEditor();
        frame.show();
        frame.PageControl1->setCurrentWidget(frame.pnInstrument);
        QApplication::processEvents();
        QVERIFY(frame.envVol->Markers[2]->isVisible());

        // Taken away and freed: painting and mouse input must not reach the freed envelopes
        // (the address sanitizer build catches any read).
        frame.SetInstrument(nullptr);
        inst.reset();
        for (TEnvelopePanel* env : {frame.envVol, frame.envPan}) {
            for (const TShape* marker : env->Markers) {
                QVERIFY(!marker->isVisible());
            }
            QImage image(env->size(), QImage::Format_ARGB32);
            env->render(&image);
            Press(*env, QPoint(30, 20));
            Move(*env, QPoint(40, 30));
            Release(*env, QPoint(40, 30));
            Press(*env->Markers[0], QPoint(2, 2), Qt::RightButton);
            env->SetZoom(2);
        }
        QApplication::processEvents();
    }
};

QTEST_MAIN(FramePanelTest)
#include "FramePanelTest.moc"
