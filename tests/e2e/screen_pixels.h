#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <string>

namespace quillory::e2e {

// How the panel lays itself out (y down, from its top-left corner): what the checks look at.
inline constexpr int kPanelWidth = 280;
inline constexpr int kPanelHeight = 400;
inline const QRect kPreviewArea(20, 18, 240, 160);
inline const QPoint kCloseControl(75, 373);
inline const QPoint kQuitControl(205, 373);

// Where the panel must appear for an icon in the tray slot `icon` (Qt's y-down coordinates):
// under it, centred on it, kept 8 points clear of the screen's right edge; and the arrow tip's
// distance from the panel's left edge.
struct Placement {
    QRect frame;
    int arrowX = 0;
};
Placement expectedPlacement(const QRect& icon, int screenWidth);

// Spread of the lightness in `area`: a photo varies, an empty panel body does not.
double spread(const QImage& shot, const QRect& area);
// Mean grey difference of two screenshots in `area`.
double difference(const QImage& a, const QImage& b, const QRect& area);
// Pixels of the glyph in the tray slot: dark ones on a light tray, light ones on a dark one.
int glyphPixels(const QImage& shot, const QRect& slot, bool darkGlyph);
// What is wrong with the panel at `frame` in `shot` over a desktop of `root`: its body, border,
// see-through corners and arrow; empty when nothing is.
std::string lookProblems(const QImage& shot, const QRect& frame, int arrowX, bool composited, QRgb root);

}  // namespace quillory::e2e
