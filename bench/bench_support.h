#pragma once

#include <benchmark/benchmark.h>

#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <memory>
#include <string>

#include "inspection/panel_content.h"

namespace quillory::bench {

// Copies `photo` to `copy` and removes the copy's EXIF thumbnail, so that the preview has to
// be made from the image itself. The photo itself is never written.
inline std::filesystem::path copyWithoutThumbnail(const std::filesystem::path& photo,
                                                  const std::filesystem::path& copy) {
    namespace fs = std::filesystem;
    fs::copy_file(photo, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);  // the corpus is read-only
    auto image = Exiv2::ImageFactory::open(copy.string());
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    Exiv2::ExifThumb(exif).erase();
    image->setExifData(exif);
    image->writeMetadata();
    return copy;
}

// A panel that only makes sure the summary and the picture are not optimised away; it notes
// whether a picture was shown.
class DiscardingPanel final : public PanelContent {
public:
    void setVersionText(const std::string&) override {}
    void setSummaryText(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
    void setPreviewHidden(bool) override {}
    void setPreviewPicture(std::shared_ptr<const Bitmap> picture) override {
        shown = picture != nullptr;
        if (picture) benchmark::DoNotOptimize(picture->rgb.data());
    }
    bool shown = false;
};

}  // namespace quillory::bench
