#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "inspection/image_service.h"
#include "inspection/panel_content.h"
#include "inspection/read_queue.h"
#include "inspection/selection_query.h"
#include "inspection/url.h"

namespace quillory {

inline constexpr std::string_view kNoFileMessage = "No JPEG / CR2 (RAW) Files selected";
inline constexpr std::string_view kFileChangeLogLine = "file change";
inline constexpr std::string_view kVersionNotice = "reads your photos, never changes them";

// "Quillory v1.2, " and the notice; "(null)" stands in for an absent version.
std::string versionLabel(const std::optional<std::string>& shortVersion);

// The photo inspection behind the panel: the polling tick, the fill and the summary.
// The panel controller forwards its `timer:`, `FillPanel` and `updateText:` here.
// Files are read through `reads`, off the UI thread; only the newest request's result is
// shown, and a read overtaken by a newer one stops at its next check point.
class Inspector {
public:
    struct Services {
        SelectionQuery& selection;
        ImageService& images;
        ReadQueue& reads;
        std::function<std::optional<std::string>()> shortVersion;
        std::function<void(std::string_view)> log;
    };

    explicit Inspector(Services services);
    ~Inspector();
    Inspector(const Inspector&) = delete;
    Inspector& operator=(const Inspector&) = delete;

    // The panel's views; nullptr while the panel is not loaded (writes are then skipped).
    void setPanel(PanelContent* panel) { panel_ = panel; }

    // One polling tick: at most one "file change" and one fill, and only when the
    // selection's last photo is not the one shown last.
    void timer();
    // Brings the panel up to date with the selection.
    void FillPanel();
    // Puts the summary of the file at `url` into the panel's text, once it is read.
    void updateText(const Url& url);

    // The URL of the photo the panel showed last; survives closing the panel.
    const std::optional<Url>& oldUrl() const { return oldUrl_; }

private:
    // One request to read: overtaken once a newer request is made, and carried to the worker
    // by value, so that nothing there touches the inspector itself.
    struct Ticket {
        Inspector* owner;
        std::weak_ptr<int> alive;
        std::shared_ptr<std::atomic<std::uint64_t>> latest;
        std::uint64_t request;

        bool overtaken() const { return latest->load() != request; }
        std::function<bool()> stopCheck() const;
        // The UI-thread step that shows a result, if the request is still the newest then.
        ReadQueue::Apply then(std::function<void(PanelContent&)> show) const;
    };

    void showPhoto(const Url& url);
    // Replaces a preview that is small for the screen by one decoded from the main image.
    void sharpenPreview(const Ticket& ticket, std::shared_ptr<std::unique_ptr<ImageSource>> source, int size);
    void showNoFile();
    // A new request overtakes every earlier one.
    Ticket newRequest();

    Services services_;
    PanelContent* panel_ = nullptr;
    std::optional<Url> oldUrl_;
    std::shared_ptr<std::atomic<std::uint64_t>> latest_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    // Only the inspector holds it: a result arriving after the inspector is gone is dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // The selection change the tick last looked at, and whether anything since may matter.
    std::uint64_t tickedChange_ = 0;
    bool tickedChangeValid_ = false;
};

}  // namespace quillory
