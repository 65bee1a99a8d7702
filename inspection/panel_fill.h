#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "inspection/image_service.h"
#include "inspection/panel_content.h"
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
class Inspector {
public:
    struct Services {
        SelectionQuery& selection;
        ImageService& images;
        std::function<std::optional<std::string>()> shortVersion;
        std::function<void(std::string_view)> log;
    };

    explicit Inspector(Services services);
    Inspector(const Inspector&) = delete;
    Inspector& operator=(const Inspector&) = delete;

    // The panel's views; nullptr while the panel is not loaded (writes are then skipped).
    void setPanel(PanelContent* panel) { panel_ = panel; }

    // One polling tick: at most one "file change" and one fill, and only when the
    // selection's last photo is not the one shown last.
    void timer();
    // Brings the panel up to date with the selection.
    void FillPanel();
    // Puts the summary of the file at `url` into the panel's text.
    void updateText(const Url& url);

    // The URL of the photo the panel showed last; survives closing the panel.
    const std::optional<Url>& oldUrl() const { return oldUrl_; }

private:
    void showPhoto(const Url& url);
    void showNoFile();

    Services services_;
    PanelContent* panel_ = nullptr;
    std::optional<Url> oldUrl_;
};

}  // namespace quillory
