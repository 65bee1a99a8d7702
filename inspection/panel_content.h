#pragma once

#include <memory>
#include <string>

#include "inspection/image_service.h"

namespace quillory {

// The four things the fill does to the panel's views.
class PanelContent {
public:
    PanelContent() = default;
    PanelContent(const PanelContent&) = delete;
    PanelContent& operator=(const PanelContent&) = delete;
    virtual ~PanelContent() = default;

    virtual void setVersionText(const std::string& text) = 0;
    virtual void setSummaryText(const std::string& text) = 0;
    virtual void setPreviewHidden(bool hidden) = 0;
    // nullptr: no picture could be made; the view shows none rather than a stale one.
    virtual void setPreviewPicture(std::shared_ptr<const Bitmap> picture) = 0;
    // The longer side of the preview's area in device pixels; 0 when unknown. A preview
    // smaller than this is followed by a sharper one.
    virtual int previewPixelSize() const { return 0; }
    // The local file the preview shows (for opening or dragging it); empty for none.
    virtual void setPreviewFile(const std::string& path) { (void)path; }
};

}  // namespace quillory
