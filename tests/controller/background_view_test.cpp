#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "panel/background_view.h"
#include "platform/sim/sim_services.h"

namespace quillory {
namespace {

using platform::Path;
using platform::PathElement;
using platform::Point;
using Kind = PathElement::Kind;
using Op = platform::sim::SimGraphics::Call::Op;

PathElement move(double x, double y) {
    return {Kind::moveTo, {Point{x, y}, {}, {}}};
}
PathElement line(double x, double y) {
    return {Kind::lineTo, {Point{x, y}, {}, {}}};
}
PathElement curve(double x, double y, double cx, double cy) {
    return {Kind::curveTo, {Point{x, y}, Point{cx, cy}, Point{cx, cy}}};
}
PathElement close() {
    return {Kind::closePath, {}};
}

// Twice the signed area enclosed by the end points: positive counter-clockwise (y up).
double signedArea(const Path& path) {
    std::vector<Point> points;
    for (const auto& e : path.elements()) {
        if (e.kind != Kind::closePath) points.push_back(e.points[0]);
    }
    double area = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % points.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area;
}

TEST(BackgroundOutline, workedExampleArrow140In280By400) {
    const std::vector<PathElement> expected = {
        move(140, 399), line(146, 391),        line(273, 391), curve(279, 385, 279, 391),
        line(279, 7),   curve(273, 1, 279, 1), line(7, 1),     curve(1, 7, 1, 1),
        line(1, 385),   curve(7, 391, 1, 391), line(134, 391), close()};
    EXPECT_EQ(backgroundOutline({0, 0, 280, 400}, 140, ArrowEdge::top).elements(), expected);
}

TEST(BackgroundOutline, arrowBaseFollowsArrowXUnclamped) {
    const struct {
        std::int64_t arrowX;
        double left, right;
    } cases[] = {{12, 6, 18}, {0, -6, 6}, {248, 242, 254}, {-90, -96, -84}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arrowX);
        const Path outline = backgroundOutline({0, 0, 280, 400}, c.arrowX, ArrowEdge::top);
        const auto& e = outline.elements();
        EXPECT_EQ(e[0], move(static_cast<double>(c.arrowX), 399));
        EXPECT_EQ(e[1], line(c.right, 391));
        EXPECT_EQ(e[10], line(c.left, 391));
    }
}

// The arrow on the bottom edge is the mirror image of the top one, and both run clockwise so
// that the outline drops out of the clip built around it.
TEST(BackgroundOutline, bottomArrowMirrorsTopAndBothRunClockwise) {
    const platform::Rect bounds{0, 0, 280, 400};
    const Path top = backgroundOutline(bounds, 140, ArrowEdge::top);
    const Path bottom = backgroundOutline(bounds, 140, ArrowEdge::bottom);
    EXPECT_LT(signedArea(top), 0.0);
    EXPECT_LT(signedArea(bottom), 0.0);
    EXPECT_GT(signedArea(Path::rect(bounds)), 0.0);

    auto reflected = [](PathElement e) {
        for (Point& p : e.points) p.y = 400.0 - p.y;
        return e;
    };
    std::vector<PathElement> expected;
    for (const auto& e : top.elements()) expected.push_back(reflected(e));
    // Same end points, walked the other way round from the tip.
    auto endPoints = [](const std::vector<PathElement>& elements) {
        std::vector<std::pair<double, double>> points;
        for (const auto& e : elements) {
            if (e.kind != Kind::closePath) points.emplace_back(e.points[0].x, e.points[0].y);
        }
        std::sort(points.begin(), points.end());
        return points;
    };
    EXPECT_EQ(endPoints(bottom.elements()), endPoints(expected));
    EXPECT_EQ(bottom.elements().front(), move(140, 1));
    EXPECT_EQ(bottom.elements()[1], line(134, 9));
}

TEST(BackgroundView, paintsBodyThenOnlyTheOuterHalfOfTheBorder) {
    BackgroundView view({0, 0, 280, 400});
    view.setArrowX(140);
    platform::sim::SimGraphics graphics;
    view.display(graphics);

    const auto& calls = graphics.calls();
    std::vector<Op> ops;
    for (const auto& c : calls) ops.push_back(c.op);
    ASSERT_EQ(ops, (std::vector{Op::setFill, Op::fill, Op::save, Op::clip, Op::setStroke, Op::stroke,
                                Op::restore}));
    EXPECT_EQ(calls[0].color, platform::Color::deviceWhite(1.0, 0.8999999761581421));
    const Path outline = backgroundOutline(view.bounds(), 140, ArrowEdge::top);
    EXPECT_EQ(calls[1].path.elements(), outline.elements());

    Path clip = Path::rect({0, 0, 280, 400});
    clip.appendPath(outline);
    EXPECT_EQ(calls[3].path.elements(), clip.elements());
    EXPECT_EQ(calls[4].color, platform::Color::white());
    EXPECT_EQ(calls[5].path.elements(), outline.elements());
    EXPECT_EQ(calls[5].path.lineWidth(), 2.0);
}

TEST(BackgroundView, everySetOfArrowXAsksForAFullRedraw) {
    BackgroundView view({0, 0, 280, 400});
    EXPECT_EQ(view.arrowX(), 0);
    for (std::int64_t x : {140, 140}) {
        platform::sim::SimGraphics graphics;
        view.display(graphics);
        EXPECT_FALSE(view.needsDisplay());
        view.setArrowX(x);
        EXPECT_TRUE(view.needsDisplay());
    }
}

}  // namespace
}  // namespace quillory
