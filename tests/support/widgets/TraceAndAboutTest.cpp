#include "QtTestApp.h"
#include "support/widgets/About.h"
#include "support/widgets/Memo.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <thread>

namespace sonlet {
namespace {

using testkit::ProcessEventsUntil;

TEST(TraceWindowTest, LinesAppendAndTheClearWordEmptiesTheLog) {
    TfrmMemo memo;
    EXPECT_FALSE(memo.isVisible());
    EXPECT_EQ(memo.Trace->toPlainText(), "Trace");
    EXPECT_TRUE(memo.Trace->isReadOnly());

    TraceLine("first");
    memo.TraceLine("second");
    EXPECT_EQ(memo.Trace->toPlainText(), "Trace\nfirst\nsecond");
    EXPECT_EQ(memo.StatusBar->currentMessage(), "second");

    TraceLine("clear it, please");
    EXPECT_EQ(memo.Trace->toPlainText(), "");
    EXPECT_EQ(memo.StatusBar->currentMessage(), "clear it, please");

    TraceLine("Clear it, please");
    EXPECT_EQ(memo.Trace->toPlainText(), "Clear it, please");
}

TEST(TraceWindowTest, ToolButtonAndDoubleClickClearAndOtherThreadsReachTheLog) {
    TfrmMemo memo;
    memo.show();
    memo.TraceLine("a");
    memo.ToolButton1->click();
    EXPECT_EQ(memo.Trace->toPlainText(), "");

    memo.TraceLine("b");
    QTest::mouseDClick(&memo, Qt::LeftButton, Qt::NoModifier, QPoint(2, memo.height() - 2));
    EXPECT_EQ(memo.Trace->toPlainText(), "");

    std::thread([] { TraceLine("from a worker"); }).join();
    EXPECT_TRUE(ProcessEventsUntil([&] { return memo.Trace->toPlainText() == "from a worker"; }));
}

TEST(AboutBoxTest, ShowsProductVersionAndClosesWithOk) {
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.ProductName->text(), "Sonlet");
    EXPECT_EQ(about.lbVersion->text(), "Version: 0.9.1");
    EXPECT_FALSE(about.Label1->text().isEmpty());
    EXPECT_FALSE(about.ProgramIconImage->pixmap().isNull());
    EXPECT_EQ(about.size(), QSize(298, 213));
    EXPECT_TRUE(about.OKButton->isDefault());

    about.show();
    about.OKButton->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
} // namespace sonlet
