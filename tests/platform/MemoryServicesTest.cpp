#include "platform/MemoryServices.h"
#include "platform/MemoryDialogControls.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

TEST(MemoryMessageBoxTest, RecordsMessagesAndAnswersFromTheScript) {
    CMemoryMessageBox box;
    EXPECT_EQ(box.Show("Unable to open file a for input.", "Frostmark", MessageIcon::Warning),
              MessageAnswer::Ok);
    box.QueueAnswer(MessageAnswer::Yes);
    EXPECT_EQ(box.Show("Replace?", "Frostmark", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::Yes);
    EXPECT_EQ(box.Show("Again?", "Frostmark", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No)
        << "an unscripted question answers No";
    ASSERT_EQ(box.Messages().size(), 3u);
    EXPECT_EQ(box.Messages()[0].text, "Unable to open file a for input.");
    EXPECT_EQ(box.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(box.Messages()[1].buttons, MessageButtons::YesNo);

    // Without a message service nothing is asked and nothing is agreed to.
    EXPECT_EQ(ShowMessage(nullptr, "x", "y", MessageIcon::Error), MessageAnswer::Ok);
    EXPECT_EQ(ShowMessage(nullptr, "x", "y", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
}

TEST(MemorySettingsStoreTest, ValuesKeepTheirTypesAndFailuresAreReported) {
    CMemorySettingsStore store;
    EXPECT_FALSE(store.GetString("Input Worldfile"));
    EXPECT_TRUE(store.SetString("Input Worldfile", "world.wsc"));
    EXPECT_TRUE(store.SetInteger("Flags", 0x100010u));
    EXPECT_TRUE(store.SetStringList("IgnoreArt", {"0eed", "0f3f"}));
    EXPECT_EQ(store.GetString("Input Worldfile"), "world.wsc");
    EXPECT_EQ(store.GetInteger("Flags"), 0x100010u);
    EXPECT_EQ(store.GetStringList("IgnoreArt"), (std::vector<std::string>{"0eed", "0f3f"}));
    EXPECT_FALSE(store.GetInteger("Input Worldfile")) << "a value of another type reads as missing";

    store.SetWritable(false);
    EXPECT_FALSE(store.SetString("Input Worldfile", "other"));
    EXPECT_EQ(store.GetString("Input Worldfile"), "world.wsc");
    store.SetReadable(false);
    EXPECT_FALSE(store.GetString("Input Worldfile"));
}

TEST(MemoryWaitCursorTest, GuardsNestAndBalance) {
    CMemoryWaitCursor cursor;
    {
        CWaitCursorGuard outer(&cursor);
        {
            CWaitCursorGuard inner(&cursor);
            EXPECT_EQ(cursor.Depth(), 2);
        }
        EXPECT_EQ(cursor.Depth(), 1);
    }
    EXPECT_EQ(cursor.Depth(), 0);
    EXPECT_EQ(cursor.Begins(), 2);
    EXPECT_FALSE(cursor.Unbalanced());
    CWaitCursorGuard none(nullptr); // no cursor service: nothing to do
}

TEST(MemoryTimerServiceTest, TicksReachTheCallbackUntilStopped) {
    CMemoryTimerService timers;
    int ticks = 0;
    timers.StartTimer(10001, 250, [&] { ++ticks; });
    EXPECT_EQ(timers.Interval(10001), 250);
    EXPECT_TRUE(timers.Fire(10001));
    EXPECT_TRUE(timers.Fire(10001));
    EXPECT_EQ(ticks, 2);
    // A callback may stop its own timer.
    timers.StartTimer(7, 100, [&] { timers.StopTimer(7); });
    EXPECT_TRUE(timers.Fire(7));
    EXPECT_FALSE(timers.IsRunning(7));
    timers.StopTimer(10001);
    EXPECT_FALSE(timers.Fire(10001));
    EXPECT_EQ(ticks, 2);
}

TEST(MemoryDialogControlsTest, MultiLineEditsCountLinesLikeTheEditControl) {
    CMemoryDialogControls controls;
    controls.SetText(1022, "0eed\r\n\r\n0f3f\r\n");
    EXPECT_EQ(controls.GetText(1022), "0eed\n\n0f3f\n");
    ASSERT_EQ(controls.GetLineCount(1022), 4) << "the line break after the last ID opens an empty line";
    EXPECT_EQ(controls.GetLine(1022, 0), "0eed");
    EXPECT_EQ(controls.GetLine(1022, 1), "");
    EXPECT_EQ(controls.GetLine(1022, 2), "0f3f");
    EXPECT_EQ(controls.GetLine(1022, 3), "");
    EXPECT_EQ(controls.GetLine(1022, 4), "");
    controls.SetText(1023, "");
    EXPECT_EQ(controls.GetLineCount(1023), 1);
    EXPECT_EQ(SplitEditLines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
}

TEST(MemoryDialogControlsTest, ListBoxesKeepOrderDataAndSelection) {
    CMemoryDialogControls controls;
    EXPECT_EQ(controls.ListAddString(1025, "a"), 0);
    EXPECT_EQ(controls.ListAddString(1025, "b"), 1);
    EXPECT_EQ(controls.ListAddString(1025, "c"), 2);
    controls.ListSetItemData(1025, 1, 0xB0B);
    controls.ListSetSelected(1025, 2, true);
    controls.ListSetSelected(1025, 0, true);
    EXPECT_EQ(controls.ListSelection(1025), (std::vector<int>{0, 2}));
    EXPECT_TRUE(controls.ListDeleteString(1025, 0));
    EXPECT_FALSE(controls.ListDeleteString(1025, 5));
    EXPECT_EQ(controls.ListCount(1025), 2);
    EXPECT_EQ(controls.ListText(1025, 0), "b");
    EXPECT_EQ(controls.ListItemData(1025, 0), 0xB0Bu) << "data moves with its entry";
    EXPECT_EQ(controls.ListSelection(1025), std::vector<int>{1});
    controls.ListReset(1025);
    EXPECT_EQ(controls.ListCount(1025), 0);
}

TEST(MemoryDialogControlsTest, DeclaredControlsCatchWrongIds) {
    CMemoryDialogControls controls;
    controls.Declare(1001);
    controls.Enable(1001, false);
    EXPECT_FALSE(controls.IsEnabled(1001));
    controls.SetText(1099, "typo");
    EXPECT_EQ(controls.GetText(1099), "");
    EXPECT_EQ(controls.UnknownIds(), std::set<int>{1099});
    controls.SetProgressRange(1001, 0, 10);
    controls.SetProgressPos(1001, 3);
    controls.SetProgressPos(1001, 0);
    EXPECT_EQ(controls.ProgressHistory(1001), (std::vector<std::uint32_t>{3, 0}));
}

} // namespace
} // namespace frostmark
