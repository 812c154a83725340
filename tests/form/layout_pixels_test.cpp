// The form's layout in pixels at the resolutions screens use (96, 120, 144
// and 192 dots per inch): rounding, the designed size, controls inside the
// frame, no overlaps or gaps the table does not have, and where the form
// sits in a rectangle of another size.
#include <gtest/gtest.h>

#include <string>

#include "form/calc_layout.h"
#include "form/layout_pixels.h"

namespace wrenfield::form {
namespace {

constexpr int kResolutions[] = {96, 120, 144, 192};

TEST(LayoutPixels, TwipsRoundToTheNearestPixelHalvesAwayFromZero)
{
    struct Case {
        int twips, dpi, pixels;
    };
    const Case cases[] = {
        {15, 96, 1},      {7, 96, 0},       {8, 96, 1},       {975, 144, 98}, {-975, 144, -98},
        {6525, 120, 544}, {2190, 120, 183}, {1455, 192, 194}, {0, 192, 0},    {2040, 144, 204},
    };
    for (const Case& c : cases)
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi << " dpi";
}

TEST(LayoutPixels, DesignedSizeAtEachResolution)
{
    EXPECT_EQ(designedPixelSize(96, 96), (PixelSize{435, 146}));
    EXPECT_EQ(designedPixelSize(120, 120), (PixelSize{544, 183}));
    EXPECT_EQ(designedPixelSize(144, 144), (PixelSize{653, 219}));
    EXPECT_EQ(designedPixelSize(192, 192), (PixelSize{870, 292}));
}

TEST(LayoutPixels, ControlsInsideTheFrameArePlacedFromTheFramesPixels)
{
    // output_label: the frame at (3960, 1380), the label at (1780, 240) in it.
    const ControlDescription& result = *findInCalcLayout(names::OutputLabel);
    EXPECT_EQ(formPixelRect(result, 144, 144), (PixelRect{396 + 178, 138 + 24, 50, 26}));
    EXPECT_EQ(formPixelRect(result, 96, 96), (PixelRect{264 + 119, 92 + 16, 33, 17}));
}

// The twips of a control measured from the form's corner.
struct TwipsRect {
    int left, top, right, bottom;
};

TwipsRect onForm(const ControlDescription& description)
{
    TwipsRect rect{description.left, description.top, description.left + description.width,
                   description.top + description.height};
    if (const ControlDescription* frame = description.parent.empty() ? nullptr : findInCalcLayout(description.parent)) {
        rect.left += frame->left;
        rect.right += frame->left;
        rect.top += frame->top;
        rect.bottom += frame->top;
    }
    return rect;
}

bool overlap(int aFrom, int aTo, int bFrom, int bTo)
{
    return aFrom < bTo && bFrom < aTo;
}

// At every resolution the visible controls stay inside the designed area,
// and two of them overlap in pixels exactly where they overlap in the table
// (the frame holds its two labels; the result's box overlaps its neighbour's).
TEST(LayoutPixels, EveryResolutionKeepsTheTablesOverlapsAndNoOthers)
{
    for (int dpi : kResolutions) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const PixelSize designed = designedPixelSize(dpi, dpi);
        for (const ControlDescription& a : calcLayout()) {
            if (!a.visible)
                continue;
            const PixelRect pa = formPixelRect(a, dpi, dpi);
            EXPECT_TRUE(pa.left >= 0 && pa.top >= 0 && pa.right() <= designed.width && pa.bottom() <= designed.height)
                << a.name;
            EXPECT_GT(pa.width, 0) << a.name;
            for (const ControlDescription& b : calcLayout()) {
                if (!b.visible || &b <= &a)
                    continue;
                const TwipsRect ta = onForm(a), tb = onForm(b);
                const PixelRect pb = formPixelRect(b, dpi, dpi);
                const bool inTwips =
                    overlap(ta.left, ta.right, tb.left, tb.right) && overlap(ta.top, ta.bottom, tb.top, tb.bottom);
                const bool inPixels = overlap(pa.left, pa.right(), pb.left, pb.right()) &&
                    overlap(pa.top, pa.bottom(), pb.top, pb.bottom());
                EXPECT_EQ(inPixels, inTwips) << a.name << " and " << b.name;
            }
        }
    }
}

TEST(LayoutPixels, TheFormIsCentredWhereThereIsRoomAndStaysAtTheCornerWhereThereIsNot)
{
    struct Case {
        PixelSize available;
        PixelPoint origin;
    };
    // At 144 dpi the form is 653 x 219 pixels.
    const Case cases[] = {
        {{653, 219}, {0, 0}}, {{743, 264}, {45, 22}}, {{744, 219}, {45, 0}}, {{653, 300}, {0, 40}},
        {{553, 169}, {0, 0}}, {{800, 100}, {73, 0}},  {{0, 0}, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formOrigin(c.available, 144, 144), c.origin) << c.available.width << " x " << c.available.height;
}

}  // namespace
}  // namespace wrenfield::form
