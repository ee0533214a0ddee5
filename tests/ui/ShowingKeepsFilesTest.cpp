// Opening, showing and saving an instrument in the editor writes the same bytes as the
// command-line tool's convert: looking at a file never changes it.
#include "MainWindowTestKit.h"
#include "RunCli.h"
#include "XiBuilder.h"
#include "ui/EnvPanel.h"

#include <QListWidget>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>

namespace sonlet::uitest {
namespace {

// Envelope points out of order, a loop that ends on the last frame, a volume above 64 and
// a fadeout above the fadeout bar's range: everything a refresh used to "mend".
std::vector<std::uint8_t> AwkwardXi() {
    testkit::XiBuilder xi;
    const auto point = [&](std::size_t at, std::uint16_t x, std::uint16_t y) {
        xi.block[at] = static_cast<std::uint8_t>(x);
        xi.block[at + 1] = static_cast<std::uint8_t>(x >> 8);
        xi.block[at + 2] = static_cast<std::uint8_t>(y);
        xi.block[at + 3] = static_cast<std::uint8_t>(y >> 8);
    };
    point(96, 0, 64);
    point(100, 50, 32);
    point(104, 20, 0);
    xi.block[192] = 3; // volume envelope points
    xi.block[200] = 1; // volume envelope on
    xi.block[206] = static_cast<std::uint8_t>(3000 & 0xFF);
    xi.block[207] = static_cast<std::uint8_t>(3000 >> 8);
    std::vector<std::int16_t> values(100);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>(i * 300);
    }
    testkit::XiSampleSpec sample = testkit::XiSampleSpec::Deltas16(values);
    sample.type |= 1; // forward loop over frames 40..99
    sample.loopStart = 40 * 2;
    sample.loopLength = 60 * 2;
    sample.volume = 128;
    xi.samples.push_back(sample);
    return xi.Bytes();
}

class ShowingKeepsFilesTest : public MainWindowFixture {};

TEST_F(ShowingKeepsFilesTest, EveryFileShownInFullSavesAsTheCommandLineConvertsIt) {
    std::vector<std::string> inputs{home.Write("awkward.xi", AwkwardXi())};
    const std::filesystem::path corpus = testkit::CorpusDir("xi");
    if (!corpus.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            inputs.push_back(entry.path().string());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    TfrmMain& w = MakeWindow();
    TfrSonlet& frame = *w.Sonlet;
    int compared = 0;
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const std::string expected = home.File("expected.xi");
        std::filesystem::remove(expected);
        if (testkit::RunCli({"convert", input, expected}).exitCode != 0) {
            continue; // the tool refuses it; the load paths' own tests cover that
        }
        w.OpenFile(QString::fromStdString(input));
        for (int row = 0; row < frame.lbSamples->count(); ++row) {
            frame.lbSamples->setCurrentRow(row);
            for (int tab = 0; tab < frame.PageControl1->count(); ++tab) {
                frame.PageControl1->setCurrentIndex(tab);
                QApplication::processEvents();
            }
        }
        const std::string saved = home.File("saved.xi");
        std::filesystem::remove(saved); // Save As would ask before replacing it
        answers.push_back(QString::fromStdString(saved));
        w.SonletmniSaveAsClick();
        EXPECT_TRUE(testkit::ReadAll(saved) == testkit::ReadAll(expected));
        ++compared;
    }
    EXPECT_GE(compared, 1);
}

} // namespace
} // namespace sonlet::uitest
