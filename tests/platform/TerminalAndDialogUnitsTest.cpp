#include "platform/DialogUnits.h"
#include "platform/FileReadProgress.h"
#include "platform/TerminalProgressView.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace frostmark {
namespace {

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

TEST(TerminalProgressViewTest, LineShowsStatusBarAndPercentage) {
    auto paint = CFileReadProgress::ComputePaint(0, 200, 50, {0, 0, 20, 1});
    ASSERT_TRUE(paint);
    EXPECT_EQ(CTerminalProgressView::FormatLine("Reading a.scp", &*paint, 20, 79),
              "Reading a.scp [#####...............]  25%");
    EXPECT_EQ(CTerminalProgressView::FormatLine("Initializing storage", nullptr, 20, 79),
              "Initializing storage");
    // A long status keeps its end, which names the file.
    EXPECT_EQ(CTerminalProgressView::FormatLine("Reading /very/long/path/tavrelmap.scp", &*paint, 20, 40),
              "...elmap.scp [#####...............]  25%");
}

TEST(TerminalProgressViewTest, RedrawsInPlaceOnlyOnChangeAndErasesAtTheEnd) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        CFileReadProgress progress(std::make_unique<CTerminalProgressView>(out, 4, 40));
        progress.SetStatusText("Reading abc");
        progress.SetRange(0, 4);
        progress.SetPosition(2);
        progress.DrawProgress();
        progress.DrawProgress(); // unchanged: nothing written
        progress.SetStatusText("Reading x");
    }
    EXPECT_EQ(Contents(out), std::string("\rReading abc"
                                         "\rReading abc [##..]  50%"
                                         "\rReading x [##..]  50%  ") +
                                 "\r" + std::string(23, ' ') + "\r");
    std::fclose(out);
}

TEST(DialogUnitsTest, QuarterCharacterWidthAndEighthHeight) {
    // A font with 6 x 13 pixel characters (a common 8-point dialog font).
    const CDialogBaseUnits base{6, 13};
    EXPECT_EQ(DialogUnitsToPixelsX(4, base), 6);
    EXPECT_EQ(DialogUnitsToPixelsY(8, base), 13);
    // 289 x 28 units: 289 * 6 / 4 = 433.5 -> 434; 28 * 13 / 8 = 45.5 -> 46.
    EXPECT_EQ(DialogUnitsToPixelsX(289, base), 434);
    EXPECT_EQ(DialogUnitsToPixelsY(28, base), 46);
    // The far edges are converted, so 7 + 275 ends where 282 does.
    const CDialogRect bar = DialogUnitsToPixels({7, 14, 275, 10}, base);
    EXPECT_EQ(bar, (CDialogRect{11, 23, 423 - 11, 39 - 23}));
    EXPECT_EQ(bar.x + bar.width, DialogUnitsToPixelsX(282, base));
    EXPECT_EQ(DialogUnitsToPixelsX(-3, base), -5) << "halves round away from zero";
}

} // namespace
} // namespace frostmark
