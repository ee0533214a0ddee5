#include "ui/logic/KeyMapEditor.h"

#include "model/KeyRanges.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(KeyMapEditor, EveryKeyIsFoundWhereItIsDrawn) {
    for (const std::int32_t width : {560, 673, 1000}) {
        TKeyMapEditor editor;
        editor.Width = width;
        editor.Height = 90;
        std::int32_t right = 0;
        for (std::int32_t note = 0; note < KeyMapNotes; ++note) {
            const KeyRect key = editor.Key(note);
            SCOPED_TRACE(NoteName(note) + " at width " + std::to_string(width));
            ASSERT_GT(key.Width, 2);
            EXPECT_EQ(editor.NoteAt(key.X + key.Width / 2, key.Height - 1), note);
            if (!key.Black) {
                // White keys tile the width without gaps; a black key's foot is its white key.
                EXPECT_EQ(key.X, right);
                right = key.X + key.Width;
                EXPECT_EQ(editor.NoteAt(key.X + 1, 89), note);
            }
        }
        EXPECT_EQ(right, width);
        EXPECT_EQ(editor.NoteAt(width, 10), -1);
        EXPECT_EQ(editor.NoteAt(5, 90), -1);
    }
}

TEST(KeyMapEditor, PressDragAndReleaseAssignEveryKeyPassed) {
    TKeyMapEditor editor;
    KeyMap keys{};
    TKeyMapEditor::Step step = editor.Press(keys, 40, 2, true);
    EXPECT_EQ(step.NoteOn, 40);
    ASSERT_TRUE(step.Keys);
    EXPECT_EQ((*step.Keys)[40], 2);
    keys = *step.Keys;
    const std::uint64_t gesture = editor.Gesture();

    // A quick move skips keys on screen, none in the map; the sound follows the mouse.
    step = editor.MoveTo(keys, 45);
    EXPECT_EQ(step.NoteOff, 40);
    EXPECT_EQ(step.NoteOn, 45);
    ASSERT_TRUE(step.Keys);
    keys = *step.Keys;
    step = editor.MoveTo(keys, 38);
    keys = *step.Keys;
    EXPECT_EQ(SampleRangesText(keys, 2), "D-3..A-3");
    EXPECT_FALSE(editor.MoveTo(keys, -1).Keys); // off the keys: nothing
    EXPECT_FALSE(editor.MoveTo(keys, 40).Keys); // already this sample's
    EXPECT_EQ(editor.Gesture(), gesture);

    step = editor.Release();
    EXPECT_EQ(step.NoteOff, 40);
    EXPECT_FALSE(editor.Pressed());
    EXPECT_EQ(editor.MoveTo(keys, 50).NoteOn, -1); // released: moves do nothing

    // Shift plays without assigning; a new press is a new gesture.
    step = editor.Press(keys, 60, 5, false);
    EXPECT_EQ(step.NoteOn, 60);
    EXPECT_FALSE(step.Keys);
    EXPECT_FALSE(editor.MoveTo(keys, 70).Keys);
    EXPECT_NE(editor.Gesture(), gesture);
    EXPECT_EQ(editor.Press(keys, -1, 5, true).NoteOff, 70); // a press off the keys ends it
    EXPECT_FALSE(editor.Pressed());
}

} // namespace
} // namespace sonlet
