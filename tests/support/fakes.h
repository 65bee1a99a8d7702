#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "inspection/image_service.h"
#include "inspection/panel_content.h"
#include "inspection/selection_query.h"

namespace quillory::testing {

// The properties of a 6000 x 4000 RGB photo of `model`: what the fakes and the summary tests show.
inline ImageProperties demoImage(const std::string& model = "Demo Cam") {
    ImageProperties image;
    image.pixelWidth = 6000;
    image.pixelHeight = 4000;
    image.depth = 8;
    image.colorModel = "RGB";
    image.tiff = TiffProperties{model};
    return image;
}

class FakeSelection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override {
        ++queries;
        return items;
    }
    std::vector<std::string> items;
    int queries = 0;
};

// Another service's answers, recording every path it is asked to open.
class RecordingImages final : public ImageService {
public:
    explicit RecordingImages(std::unique_ptr<ImageService> real) : real_(std::move(real)) {}
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why) override {
        opened.push_back(path);
        return real_->createWithPath(path, why);
    }
    std::vector<std::string> opened;

private:
    std::unique_ptr<ImageService> real_;
};

// Files by path; a path that is not listed cannot be read at all.
class FakeImageService final : public ImageService {
public:
    struct File {
        std::optional<ContainerProperties> container;
        std::optional<ImageProperties> image;
        std::optional<Bitmap> thumbnail;
    };

    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why) override {
        opened.push_back(path);
        const auto it = files.find(path);
        if (it == files.end()) {
            if (why) *why = "No such file or directory";
            return nullptr;
        }
        return std::make_unique<Source>(it->second, previews);
    }

    // A readable photo with a 2x1 thumbnail and the given model.
    void addPhoto(const std::string& path, const std::string& model = "Demo Cam") {
        files[path] = File{ContainerProperties{123456}, demoImage(model),
                           Bitmap{2, 1, std::vector<std::uint8_t>(6, 200)}};
    }

    std::map<std::string, File> files;
    std::vector<std::string> opened;
    int previews = 0;  // previews asked of any source

private:
    class Source final : public ImageSource {
    public:
        Source(File file, int& previews) : file_(std::move(file)), previews_(previews) {}
        std::optional<ImageProperties> copyPropertiesAtIndex0() override { return file_.image; }
        std::optional<ContainerProperties> copyProperties() override { return file_.container; }
        std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions&) override {
            ++previews_;
            return file_.thumbnail;
        }

    private:
        File file_;
        int& previews_;
    };
};

// Records what the fill did to the views.
class RecordingPanel final : public PanelContent {
public:
    void setVersionText(const std::string& text) override {
        version = text;
        ++writes;
    }
    void setSummaryText(const std::string& text) override {
        summary = text;
        ++writes;
    }
    void setPreviewHidden(bool hidden) override {
        previewHidden = hidden;
        ++writes;
    }
    void setPreviewPicture(std::shared_ptr<const Bitmap> bitmap) override {
        picture = std::move(bitmap);
        pictureSet = true;
        ++writes;
    }

    std::string version;
    std::string summary = "previous text";
    bool previewHidden = false;
    bool pictureSet = false;
    std::shared_ptr<const Bitmap> picture;
    int writes = 0;
};

}  // namespace quillory::testing
