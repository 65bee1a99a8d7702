#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "inspection/image_service.h"
#include "inspection/panel_content.h"
#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "inspection/selection_query.h"
#include "panel/background_view.h"
#include "platform/observation.h"
#include "platform/platform.h"

namespace quillory {

class Panel;
class PanelController;

inline constexpr std::string_view kHasActivePanelKey = "hasActivePanel";

// What the panel controller asks of its owner.
class PanelControllerDelegate {
public:
    PanelControllerDelegate() = default;
    PanelControllerDelegate(const PanelControllerDelegate&) = delete;
    PanelControllerDelegate& operator=(const PanelControllerDelegate&) = delete;
    virtual ~PanelControllerDelegate() = default;

    // The status item view the panel drops from; nullptr (also when not overridden) places
    // the panel by the fallback rule.
    virtual const platform::ScreenLocatable* statusItemViewForPanelController(PanelController& controller) {
        (void)controller;
        return nullptr;
    }
    // The panel now shows the photo at `path` (empty: none); for the icon's tooltip.
    virtual void panelControllerDidShowFile(PanelController& controller, const std::string& path) {
        (void)controller;
        (void)path;
    }
};

// The window controller of the drop-down panel: its active flag, its placement, animation and
// polling, and the photo inspection that fills it.
class PanelController final : public platform::WindowDelegate {
public:
    struct Inspection {
        SelectionQuery& selection;
        ImageService& images;
        ReadQueue& reads;
    };

    // The panel is not built yet; `delegate` is not owned and may be nullptr.
    PanelController(const platform::Platform& platform, Inspection inspection,
                    PanelControllerDelegate* delegate);
    ~PanelController() override;

    // Whether the panel is open. Setting YES from NO opens it; NO from YES closes it.
    // Observers of kHasActivePanelKey are called after every set, once its work is done.
    bool hasActivePanel() const { return hasActivePanel_; }
    void setHasActivePanel(bool flag);
    void addObserver(platform::Observer* observer, std::string_view keyPath, int options,
                     const void* context);
    void removeObserver(const platform::Observer* observer, std::string_view keyPath);
    std::size_t observationCount(std::string_view keyPath) const {
        return observers_.observationCount(keyPath);
    }

    PanelControllerDelegate* delegate() const { return delegate_; }
    BackgroundView* backgroundView() const { return backgroundView_; }
    void setBackgroundView(BackgroundView* view) { backgroundView_ = view; }
    platform::ImageView* oImage() const { return oImage_; }
    void setOImage(platform::ImageView* view) { oImage_ = view; }
    platform::TextField* oExifData() const { return oExifData_; }
    void setOExifData(platform::TextField* field) { oExifData_ = field; }
    platform::TextField* oVersion() const { return oVersion_; }
    void setOVersion(platform::TextField* field) { oVersion_ = field; }
    // The polling timer; nullptr before the first opening.
    platform::Timer* timer() const { return timer_.get(); }

    // The panel window, built with its views on the first read; nullptr if it cannot be made.
    platform::Window* window();
    bool isWindowLoaded() const { return panel_ != nullptr; }
    // Runs once the panel is built: transparent, at pop-up menu level, then filled.
    void awakeFromNib();

    void windowWillClose() override;
    void windowDidResignKey() override;
    // Keeps the arrow on the icon's middle at every size change.
    void windowDidResize() override;

    // The close control: closes the panel, which clears the flag.
    void doClose();
    // The exit control: ends the process with status 0 at once.
    void doExit();

    // The rectangle of the icon's size directly beside the icon; the window is not read.
    platform::Rect statusRectForWindow(const platform::Window* window);
    void openPanel();
    void closePanel();

    // The polling tick, the fill and the summary: forwarded to the inspection.
    void timer(platform::Timer* firing);
    void FillPanel();
    void updateText(const Url& url);
    const std::optional<Url>& oldUrl() const { return inspector_.oldUrl(); }

private:
    class Content;

    platform::Window* loadedWindow() const;
    std::optional<platform::Rect> iconRectFromClick(const platform::Rect& screen, double thickness);

    platform::Platform platform_;
    PanelControllerDelegate* delegate_;
    bool hasActivePanel_ = false;
    BackgroundView* backgroundView_ = nullptr;
    platform::ImageView* oImage_ = nullptr;
    platform::TextField* oExifData_ = nullptr;
    platform::TextField* oVersion_ = nullptr;
    std::unique_ptr<platform::Timer> timer_;
    platform::KeyValueObservers observers_{this};
    std::unique_ptr<Content> content_;
    Inspector inspector_;
    // Alive while a scheduled hide may still run; an opening drops it so the hide skips.
    std::shared_ptr<int> pendingHide_;
    // The last click's position while it was in a bar, the host's word for where the icon is
    // included.
    std::optional<platform::Point> lastClick_;
    std::unique_ptr<Panel> panel_;
};

}  // namespace quillory
