#include "support/Report.h"

#include "CapturingReporter.h"

#include <gtest/gtest.h>
#include <thread>

namespace sonlet {
namespace {

using testkit::CapturedMessage;
using testkit::CapturingReporter;

TEST(Report, HelpersUseTheirCaptionsAndIcons) {
    CapturingReporter reporter;
    ShowError("File not found", MessageIcon::Warning);
    ShowError("Not a wave file");
    ShowMessage("plain");
    EXPECT_EQ(reporter.Messages(),
              (std::vector<CapturedMessage>{{"Error", "File not found", MessageIcon::Warning},
                                            {"Error", "Not a wave file", MessageIcon::Information},
                                            {"Tulvo Sonlet", "plain", MessageIcon::None}}));
}

TEST(Report, ConfirmIsTrueOnlyForYes) {
    CapturingReporter reporter;
    reporter.ScriptAnswers({true, false});
    EXPECT_TRUE(Confirm("Are you sure?"));
    EXPECT_FALSE(Confirm("Again?"));
    EXPECT_FALSE(Confirm("Unscripted")); // default answer
    EXPECT_EQ(reporter.Messages().front().caption, "Confirm");
}

TEST(Report, ScopedReportersNestAndRestore) {
    CapturingReporter outer;
    {
        CapturingReporter inner;
        ShowError("inner");
        EXPECT_EQ(inner.Texts(), std::vector<std::string>{"inner"});
    }
    ShowError("outer");
    EXPECT_EQ(outer.Texts(), std::vector<std::string>{"outer"});
}

TEST(Report, HeldMessagesComeInOrderWhenTheHolderGoes) {
    CapturingReporter reporter;
    {
        const HeldMessages outer;
        ShowError("first");
        {
            const HeldMessages inner;
            ShowWarning("second");
        }
        ShowMessage("third");
        // Another thread's boxes and questions are never held.
        std::thread([] { ShowError("other thread"); }).join();
        Confirm("question");
        EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"other thread", "question"}));
    }
    EXPECT_EQ(reporter.Texts(),
              (std::vector<std::string>{"other thread", "question", "first", "second", "third"}));
    EXPECT_TRUE(reporter.Messages()[3].warning);
    ShowError("after");
    EXPECT_EQ(reporter.Texts().back(), "after");
}

} // namespace
} // namespace sonlet
