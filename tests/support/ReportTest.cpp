#include "support/Report.h"

#include "CapturingReporter.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace sonlet
