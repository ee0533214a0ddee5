// Removing and inserting samples through the history keeps every key on the sample it played,
// and undo gives back the key map as it was; a drag's key map steps fold into one.
#include "edit/History.h"
#include "edit/KeyMapCommand.h"
#include "edit/ParamCommands.h"
#include "model/KeyRanges.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(KeyMapCommands, SampleRemovalInsertionAndDragsAreUndoneWithTheirKeys) {
    TInstrument inst;
    inst.InitNew();
    inst.AddSample();
    inst.AddSample();
    KeyMap keys{};
    MapNotes(keys, 24, 47, 1);
    MapNotes(keys, 48, 95, 2);
    keys[95] = 7; // a key naming no sample
    inst.SetKeys(keys);
    THistory history;

    ASSERT_EQ(history.Do(inst, std::make_unique<TRemoveSampleCommand>(1)), EditOutcome::Done);
    EXPECT_EQ(KeyRangesText(inst.Keys()), "C-0..B-1: 1, C-2..A#7: 2, B-7: 8");
    ASSERT_EQ(history.Do(inst, std::make_unique<TInsertSampleCommand>(
                                   "Paste Sample", std::make_unique<TSample>(), 0)),
              EditOutcome::Done);
    EXPECT_EQ(KeyRangesText(inst.Keys()), "C-0..B-1: 2, C-2..A#7: 3, B-7: 8");
    history.Undo(inst);
    history.Undo(inst);
    EXPECT_EQ(inst.Keys(), keys);

    // One drag: three steps of one gesture are one undo step.
    KeyMap drag = keys;
    for (int note = 10; note < 13; ++note) {
        const KeyMap before = drag;
        drag[static_cast<std::size_t>(note)] = 2;
        history.Do(inst, std::make_unique<TKeyMapCommand>("Map Notes", before, drag, 42));
    }
    EXPECT_EQ(inst.Keys(), drag);
    EXPECT_EQ(history.UndoName(), "Map Notes");
    history.Undo(inst);
    EXPECT_EQ(inst.Keys(), keys);
    EXPECT_FALSE(history.CanUndo());
}

} // namespace
} // namespace sonlet
