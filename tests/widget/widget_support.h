#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTest>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"
#include "inspection/selection_query.h"
#include "platform/application.h"
#include "platform/window.h"

namespace quillory::testing {

// Waits for `condition` while Qt handles events, at most `ms`: a bounded wait on an event,
// never a sleep that decides the outcome.
template <typename Condition>
bool eventually(Condition condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

// Where tests keep pictures for people to look at (QUILLORY_ARTIFACTS); none when unset.
std::optional<QString> artifactPath(const QString& name);

// A pixel with its alpha, not premultiplied.
inline QColor pixelAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// Records what a window tells its delegate.
struct RecordingWindowDelegate final : platform::WindowDelegate {
    void windowDidResize() override { ++resizes; }
    void windowDidResignKey() override { ++resignations; }
    void windowWillClose() override { ++closes; }
    int resizes = 0;
    int resignations = 0;
    int closes = 0;
};

class FixedSelection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override { return items; }
    std::vector<std::string> items;
};

// Every file is a 4:3 photo of a soft gradient with a full set of properties.
class GradientPhotos final : public ImageService {
public:
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why) override;
};

}  // namespace quillory::testing
