#include "inspection/panel_fill.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "inspection/photo_kind.h"
#include "inspection/summary.h"

namespace quillory {
namespace {

// A cheap look at the raw text before it is parsed: a name that plainly ends in another
// extension cannot qualify. Escaped names ('%') are left to the parser.
bool mayQualify(std::string_view text) {
    text = text.substr(0, std::min(text.find_first_of("?#"), text.size()));
    if (text.size() > 1 && text.back() == '/') text.remove_suffix(1);
    const std::string_view name = text.substr(text.rfind('/') + 1);
    if (name.find('%') != std::string_view::npos) return true;
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && isQualifyingExtension(name.substr(dot + 1));
}

std::optional<Url> qualifyingUrl(const std::string& text) {
    if (!mayQualify(text)) return std::nullopt;
    std::optional<Url> url = Url::fromString(text);
    if (url && isQualifying(*url)) return url;
    return std::nullopt;
}

// The last photo of the selection. Searching from the end keeps a tick over a large,
// unchanged selection cheap: only the items after the last photo are parsed.
std::optional<Url> lastQualifying(const std::vector<std::string>& selection) {
    for (auto it = selection.rbegin(); it != selection.rend(); ++it) {
        if (std::optional<Url> url = qualifyingUrl(*it)) return url;
    }
    return std::nullopt;
}

// A file that cannot be read at all still gets its name, size 0 and folder, so the
// previous photo's summary never stays on screen under another file.
std::string summaryOf(const Url& url, ImageSource* source) {
    if (!source) return composeSummary(url.path(), std::nullopt, std::nullopt);
    return composeSummary(url.path(), source->copyProperties(), source->copyPropertiesAtIndex0());
}

// Whether decoding the main image can give more detail than `preview` has.
bool mainImageIsLarger(ImageSource& source, const Bitmap& preview) {
    const std::optional<ImageProperties> image = source.copyPropertiesAtIndex0();
    if (!image || !image->pixelWidth || !image->pixelHeight) return false;
    return std::max(*image->pixelWidth, *image->pixelHeight) > std::max(preview.width, preview.height);
}

}  // namespace

std::string versionLabel(const std::optional<std::string>& shortVersion) {
    return "Quillory v" + shortVersion.value_or("(null)") + ", " + std::string(kVersionNotice);
}

Inspector::Inspector(Services services) : services_(std::move(services)) {}

Inspector::~Inspector() {
    // Reads still queued or under way stop at their next check point.
    latest_->fetch_add(1);
}

Inspector::Ticket Inspector::newRequest() {
    return Ticket{this, alive_, latest_, latest_->fetch_add(1) + 1};
}

std::function<bool()> Inspector::Ticket::stopCheck() const {
    return [latest = latest, request = request] { return latest->load() != request; };
}

ReadQueue::Apply Inspector::Ticket::then(std::function<void(PanelContent&)> show) const {
    return [ticket = *this, show = std::move(show)] {
        if (ticket.alive.expired() || ticket.overtaken() || ticket.owner->panel_ == nullptr) return;
        show(*ticket.owner->panel_);
    };
}

void Inspector::timer() {
    // An unchanged selection was looked at already: the tick costs nothing however long it is.
    const std::uint64_t change = services_.selection.changeCount();
    if (change != 0 && tickedChangeValid_ && change == tickedChange_) return;
    const SelectionList selection = services_.selection.currentSelection();
    tickedChange_ = change;
    tickedChangeValid_ = change != 0;
    const std::optional<Url> last = lastQualifying(*selection);
    if (!last) return;
    if (oldUrl_ && oldUrl_->path() == last->path()) return;
    if (services_.log) services_.log(kFileChangeLogLine);
    FillPanel();
}

void Inspector::FillPanel() {
    if (panel_)
        panel_->setVersionText(
            versionLabel(services_.shortVersion ? services_.shortVersion() : std::nullopt));
    const SelectionList selection = services_.selection.currentSelection();
    tickedChangeValid_ = false;
    if (selection->empty()) return;
    // Only the last item's outcome stays visible, so earlier items are not read at all;
    // the URL recorded is still the selection's last photo.
    if (std::optional<Url> url = qualifyingUrl(selection->back())) {
        showPhoto(*url);
        return;
    }
    if (std::optional<Url> last = lastQualifying(*selection)) oldUrl_ = std::move(last);
    showNoFile();
}

void Inspector::updateText(const Url& url) {
    if (!panel_) return;
    services_.reads.post([ticket = newRequest(), images = &services_.images, url] {
        if (ticket.overtaken()) return ReadQueue::Apply{};
        const std::unique_ptr<ImageSource> source = images->createWithPath(url.path());
        return ticket.then(
            [summary = summaryOf(url, source.get())](PanelContent& panel) { panel.setSummaryText(summary); });
    });
}

void Inspector::showPhoto(const Url& url) {
    oldUrl_ = url;
    // Without views there is nothing to show; reading the file would be wasted.
    if (!panel_) return;
    const Ticket ticket = newRequest();
    // One source serves both the summary and the preview: the file is opened once. The summary
    // is shown as soon as it is read; the preview, which may take long, follows.
    auto source = std::make_shared<std::unique_ptr<ImageSource>>();
    services_.reads.post([ticket, images = &services_.images, url, source] {
        if (ticket.overtaken()) return ReadQueue::Apply{};
        *source = images->createWithPath(url.path());
        return ticket.then([summary = summaryOf(url, source->get()), path = url.path()](PanelContent& panel) {
            panel.setPreviewHidden(false);
            panel.setSummaryText(summary);
            panel.setPreviewPicture(nullptr);
            panel.setPreviewFile(path);
        });
    });
    const int sharpSize = std::min(panel_->previewPixelSize(), kThumbnailOptions.thumbnailMaxPixelSize);
    services_.reads.post([this, ticket, source, sharpSize] {
        if (ticket.overtaken() || !*source) return ReadQueue::Apply{};
        ThumbnailOptions options = kThumbnailOptions;
        options.shouldStop = ticket.stopCheck();
        std::optional<Bitmap> thumbnail = (*source)->createThumbnailAtIndex0(options);
        if (!thumbnail) return ReadQueue::Apply{};
        const bool sharpen = std::max(thumbnail->width, thumbnail->height) < sharpSize &&
                             mainImageIsLarger(**source, *thumbnail);
        if (!sharpen) source->reset();
        return ticket.then(
            [this, ticket, source, sharpen, sharpSize,
             picture = std::make_shared<const Bitmap>(std::move(*thumbnail))](PanelContent& panel) {
                panel.setPreviewPicture(picture);
                if (sharpen) sharpenPreview(ticket, source, sharpSize);
            });
    });
}

void Inspector::sharpenPreview(const Ticket& ticket, std::shared_ptr<std::unique_ptr<ImageSource>> source,
                               int size) {
    services_.reads.post([ticket, source, size] {
        if (ticket.overtaken()) return ReadQueue::Apply{};
        ThumbnailOptions options = kThumbnailOptions;
        options.createThumbnailFromImageAlways = true;
        options.thumbnailMaxPixelSize = size;
        options.shouldStop = ticket.stopCheck();
        std::optional<Bitmap> sharp = (*source)->createThumbnailAtIndex0(options);
        source->reset();
        if (!sharp) return ReadQueue::Apply{};
        return ticket.then([picture = std::make_shared<const Bitmap>(std::move(*sharp))](
                               PanelContent& panel) { panel.setPreviewPicture(picture); });
    });
}

void Inspector::showNoFile() {
    // A read still under way for an earlier photo must not overwrite the message.
    newRequest();
    if (!panel_) return;
    panel_->setPreviewHidden(true);
    panel_->setSummaryText(std::string(kNoFileMessage));
    panel_->setPreviewFile({});
}

}  // namespace quillory
