// Geometry value types: point arithmetic, rectangle corner arrangement and
// accessors, and the trace goal's position and flag.
#include "geometry/CRectangle.h"
#include "geometry/CTraceGoal.h"
#include "geometry/vector2d.h"

#include <gtest/gtest.h>

namespace {

using Point = vector2d<double>;

TEST(Vector2d, ArithmeticAsAValueType)
{
    const Point a(1.0, 2.0);
    const Point b(3.0, -4.0);
    EXPECT_EQ(a + b, Point(4.0, -2.0));
    EXPECT_EQ(a - b, Point(-2.0, 6.0));
    EXPECT_EQ(a * 2.0, Point(2.0, 4.0));
    EXPECT_EQ(2.0 * a, a * 2.0);
    EXPECT_EQ(b / 2.0, Point(1.5, -2.0));
    EXPECT_EQ(-a, Point(-1.0, -2.0));
    EXPECT_DOUBLE_EQ(a.Dot(b), -5.0);
    EXPECT_DOUBLE_EQ(b.Length(), 5.0);
    EXPECT_NE(a, b);
    EXPECT_EQ(Point(), Point(0.0, 0.0));
}

TEST(Rectangle, ConstructorsArrangeTheCorners)
{
    struct Case {
        double right, bottom, left, top;         // as given
        double eRight, eBottom, eLeft, eTop;     // as held
    };
    const Case cases[] = {
        {1, 2, 5, 8, 5, 8, 1, 2},
        {5, 8, 1, 2, 5, 8, 1, 2},
        {-1, -2, -5, -8, -1, -2, -5, -8},
        {3, 3, 3, 3, 3, 3, 3, 3},
        {0, 10, 7, -4, 7, 10, 0, -4},
    };
    for (const Case& c : cases) {
        const CRectangle r(c.right, c.bottom, c.left, c.top);
        EXPECT_EQ(r.Right(), c.eRight);
        EXPECT_EQ(r.Bottom(), c.eBottom);
        EXPECT_EQ(r.Left(), c.eLeft);
        EXPECT_EQ(r.Top(), c.eTop);
        CRectangle set;
        set.Set(c.right, c.bottom, c.left, c.top);
        EXPECT_EQ(set, r);
    }
}

TEST(Rectangle, CornersAndExtent)
{
    const CRectangle r(Point(5, 8), Point(1, 2)); // opposite corners in any order
    EXPECT_EQ(r, CRectangle(5, 8, 1, 2));
    EXPECT_EQ(r.TopLeft(), Point(1, 2));
    EXPECT_EQ(r.TopRight(), Point(5, 2));
    EXPECT_EQ(r.BottomLeft(), Point(1, 8));
    EXPECT_EQ(r.BottomRight(), Point(5, 8));
    EXPECT_EQ(r.Width(), 4.0);
    EXPECT_EQ(r.Height(), 6.0);
    const CRectangle copy = r;
    EXPECT_EQ(copy, r);
    EXPECT_EQ(CRectangle(), CRectangle(0, 0, 0, 0));
}

TEST(TraceGoal, PositionAndFlag)
{
    CTraceGoal goal;
    EXPECT_EQ(goal.IsSet(), 0);
    EXPECT_EQ(goal.Position(), CRectangle());

    const CRectangle where(1, 2, 5, 8);
    goal.SetPosition(where);
    EXPECT_EQ(goal.IsSet(), 1);
    EXPECT_EQ(goal.Position(), where);

    goal.SetIsSet(0);
    EXPECT_EQ(goal.IsSet(), 0);
    EXPECT_EQ(goal.Position(), where); // clearing keeps the position
    goal.SetIsSet(7);
    EXPECT_EQ(goal.IsSet(), 7);
}

} // namespace
