#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace quillory::platform {

// A colour with its opacity, components 0..1.
struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 0.0;

    // A grey of `white` level with opacity `alpha`.
    static Color deviceWhite(double white, double alpha) { return {white, white, white, alpha}; }
    static Color white() { return {1.0, 1.0, 1.0, 1.0}; }
    static Color clear() { return {}; }
    friend bool operator==(const Color&, const Color&) = default;
};

// One element of a path; `points` holds the end point, then the two control points of a curve.
struct PathElement {
    enum class Kind { moveTo, lineTo, curveTo, closePath };
    Kind kind = Kind::moveTo;
    std::array<Point, 3> points{};
    friend bool operator==(const PathElement&, const PathElement&) = default;
};

// A platform-free path: a list of elements and a line width. Filled by the non-zero rule.
class Path {
public:
    // A closed rectangle starting at the origin and running counter-clockwise.
    static Path rect(const Rect& r);

    void moveTo(Point p) { elements_.push_back({PathElement::Kind::moveTo, {p, {}, {}}}); }
    void lineTo(Point p) { elements_.push_back({PathElement::Kind::lineTo, {p, {}, {}}}); }
    void curveTo(Point end, Point control1, Point control2) {
        elements_.push_back({PathElement::Kind::curveTo, {end, control1, control2}});
    }
    void closePath() { elements_.push_back({PathElement::Kind::closePath, {}}); }
    // Adds the subpaths of `other`, directions unchanged.
    void appendPath(const Path& other) {
        elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
    }

    void setLineWidth(double width) { lineWidth_ = width; }
    double lineWidth() const { return lineWidth_; }
    const std::vector<PathElement>& elements() const { return elements_; }

private:
    std::vector<PathElement> elements_;
    double lineWidth_ = 1.0;
};

inline Path Path::rect(const Rect& r) {
    Path path;
    path.moveTo({r.x, r.y});
    path.lineTo({r.maxX(), r.y});
    path.lineTo({r.maxX(), r.maxY()});
    path.lineTo({r.x, r.maxY()});
    path.closePath();
    return path;
}

// A picture the platform can draw, such as a named application image.
class Image {
public:
    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    virtual ~Image() = default;

    // Size in points; the zero size for an image without pixels.
    virtual Size size() const = 0;
};

// The application's image resources.
class ImageStore {
public:
    ImageStore() = default;
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;
    virtual ~ImageStore() = default;

    // The image named `name`, the same object on every call; nullptr when there is none.
    virtual std::shared_ptr<const Image> imageNamed(const std::string& name) = 0;
};

enum class CompositingOperation { sourceOver = 2 };

// The drawing target of a display pass, in the drawn view's y-up coordinates.
class Graphics {
public:
    Graphics() = default;
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    virtual ~Graphics() = default;

    // Pushes the clip and the colours; restore pops them (an unmatched restore does nothing).
    virtual void saveGraphicsState() = 0;
    virtual void restoreGraphicsState() = 0;
    virtual void setFillColor(const Color& color) = 0;
    virtual void setStrokeColor(const Color& color) = 0;
    // Paints the interior of `path` (non-zero rule) in the fill colour.
    virtual void fill(const Path& path) = 0;
    // Strokes `path` centred on it, with its line width, in the stroke colour.
    virtual void stroke(const Path& path) = 0;
    // Intersects the clip with the interior of `path` (non-zero rule).
    virtual void addClip(const Path& path) = 0;
    // Draws the whole `image` with its lower-left corner at `at`; nothing for a null image.
    virtual void drawImage(const Image* image, Point at, CompositingOperation operation, double fraction) = 0;
};

}  // namespace quillory::platform
