#include "ui/Frame.h"

#include <QtTest>

using namespace sonlet;

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void initEditorShowsNewInstrument() {
        TInstrument inst;
        inst.InitNew();
        TfrSonlet frame;
        frame.resize(800, 450);
        frame.SetInstrument(&inst);
        frame.InitEditor();
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.pnMain->height(), 150);
    }
};

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
