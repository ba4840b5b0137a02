#include "platform/FileReadProgress.h"

#include "platform/MemoryServices.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

const CProgressRect kCanvas{0, 0, 400, 16};

TEST(DrawProgressTest, FiguresForTheUsualPositions) {
    // Nothing done: an empty bar and 0%.
    auto empty = CFileReadProgress::ComputePaint(0, 100, 0, kCanvas);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->text, "0%");
    EXPECT_EQ(empty->split, 0);

    // 50 of 200: a quarter of 400 pixels.
    auto quarter = CFileReadProgress::ComputePaint(0, 200, 50, kCanvas);
    ASSERT_TRUE(quarter);
    EXPECT_EQ(quarter->text, "25%");
    EXPECT_EQ(quarter->percent, 25u);
    EXPECT_EQ(quarter->split, 100);

    // Position at the maximum: the whole bar.
    auto full = CFileReadProgress::ComputePaint(0, 200, 200, kCanvas);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->text, "100%");
    EXPECT_EQ(full->split, 400);

    // Fractions are cut, not rounded: 2 of 3 is 66% and 266 of 400 pixels.
    auto twoThirds = CFileReadProgress::ComputePaint(0, 3, 2, kCanvas);
    ASSERT_TRUE(twoThirds);
    EXPECT_EQ(twoThirds->text, "66%");
    EXPECT_EQ(twoThirds->split, 266);
}

TEST(DrawProgressTest, TextIsCentredOnTheCanvasAndOnePixelAbove) {
    const CProgressRect canvas{2, 3, 102, 13};
    auto paint = CFileReadProgress::ComputePaint(0, 10, 5, canvas);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->textCentreX, 50);
    EXPECT_EQ(paint->textTop, 2);
    EXPECT_EQ(paint->split, 2 + 50) << "the split counts from the canvas's left edge";
    EXPECT_EQ(paint->barColour, 0x00800000u) << "navy: blue 0x80 in the third byte";
    EXPECT_EQ(paint->client, canvas);
}

TEST(DrawProgressTest, EmptyRangeDrawsNothing) {
    EXPECT_FALSE(CFileReadProgress::ComputePaint(0, 0, 0, kCanvas));
    EXPECT_FALSE(CFileReadProgress::ComputePaint(7, 7, 3, kCanvas));
}

TEST(DrawProgressTest, LargeFilesDoNotWrapAround) {
    // 50,000,000 of 100,000,000 bytes. In 32 bits 50e6 * 100 wraps to 705,032,704 (7%) and
    // 400 * 50e6 wraps to 2,819,869,184 (split 28); the true figures are 50% and 200.
    auto paint = CFileReadProgress::ComputePaint(0, 100'000'000u, 50'000'000u, kCanvas);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->text, "50%");
    EXPECT_EQ(paint->split, 200);

    // The extreme: the whole 32-bit range.
    auto top = CFileReadProgress::ComputePaint(0, 0xFFFFFFFFu, 0xFFFFFFFFu, kCanvas);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->text, "100%");
    EXPECT_EQ(top->split, 400);
}

TEST(DrawProgressTest, PositionBeyondTheMaximumFillsTheBarAndSaysSo) {
    auto paint = CFileReadProgress::ComputePaint(0, 100, 150, kCanvas);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->text, "150%");
    EXPECT_EQ(paint->split, 400) << "the bar never reaches past the canvas";
}

TEST(DrawProgressTest, PositionIsNotReducedByTheMinimum) {
    // percent = position * 100 / (maximum - minimum): 30 of the range 10..110 reads 30%.
    auto paint = CFileReadProgress::ComputePaint(10, 110, 30, kCanvas);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->text, "30%");
    EXPECT_EQ(paint->split, 120);
}

TEST(FileReadProgressTest, ForwardsToTheViewAndDrawsTheCurrentNumbers) {
    CMemoryProgressViewFactory factory({0, 0, 200, 10});
    {
        CFileReadProgress progress(&factory);
        ASSERT_EQ(factory.OpenWindows(), 1);
        EXPECT_EQ(progress.Maximum(), 100u) << "a new window counts to 100";
        progress.SetStatusText("Initializing storage");
        progress.SetCaption("Loading");
        progress.SetStatusText("Reading tavrelitem.scp");
        progress.SetRange(0, 0);
        progress.SetPosition(0);
        progress.DrawProgress(); // empty range: nothing painted
        progress.SetRange(0, 1000);
        progress.SetPosition(250);
        progress.DrawProgress();
        progress.SetPosition(1000);
        progress.DrawProgress();
        EXPECT_EQ(progress.StatusText(), "Reading tavrelitem.scp");
    }
    ASSERT_EQ(factory.Windows().size(), 1u);
    const CProgressRecord& record = *factory.Windows()[0];
    EXPECT_TRUE(record.destroyed);
    EXPECT_EQ(record.statusTexts,
              (std::vector<std::string>{"Initializing storage", "Reading tavrelitem.scp"}));
    EXPECT_EQ(record.captions, std::vector<std::string>{"Loading"});
    ASSERT_EQ(record.paints.size(), 2u);
    EXPECT_EQ(record.paints[0].text, "25%");
    EXPECT_EQ(record.paints[0].split, 50);
    EXPECT_EQ(record.paints[1].text, "100%");
    EXPECT_EQ(record.paints[1].split, 200);
}

TEST(FileReadProgressTest, WithoutAViewItOnlyKeepsTheNumbers) {
    CFileReadProgress progress;
    progress.SetStatusText("Reading x");
    progress.SetRange(0, 10);
    progress.SetPosition(5);
    progress.DrawProgress();
    EXPECT_EQ(progress.View(), nullptr);
    EXPECT_EQ(progress.Position(), 5u);

    CFileReadProgress fromNullFactory(static_cast<IProgressViewFactory*>(nullptr));
    fromNullFactory.DrawProgress();
    EXPECT_EQ(fromNullFactory.View(), nullptr);
}

TEST(ProgressScaleTest, LargeFilesAreScaledBelow61439) {
    // 200000 bytes: divisor 200000 / 61439 + 1 = 4, maximum 50000.
    const auto scale = CProgressScale::ForLength(200'000);
    EXPECT_EQ(scale.divisor, 4u);
    EXPECT_EQ(scale.maximum, 50'000u);
    EXPECT_EQ(scale.Scale(100'000), 25'000u);

    // Small files keep their length: divisor 1.
    EXPECT_EQ(CProgressScale::ForLength(61'438).divisor, 1u);
    EXPECT_EQ(CProgressScale::ForLength(61'438).maximum, 61'438u);
    // 61439 itself is the first length scaled: divisor 2, maximum 30719.
    EXPECT_EQ(CProgressScale::ForLength(61'439).divisor, 2u);
    EXPECT_EQ(CProgressScale::ForLength(61'439).maximum, 30'719u);
    EXPECT_EQ(CProgressScale::ForLength(0).maximum, 0u);

    // Beyond 4 GiB the scaled range still fits and the end of the file maps to the maximum.
    const std::uint64_t huge = 10'000'000'000ull;
    const auto big = CProgressScale::ForLength(huge);
    EXPECT_EQ(big.divisor, huge / 61439 + 1);
    EXPECT_LT(big.maximum, 61'439u);
    EXPECT_EQ(big.Scale(huge), big.maximum);
}

} // namespace
} // namespace frostmark
