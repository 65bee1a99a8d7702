#pragma once

#include <QPointer>
#include <QVariantAnimation>

#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/panel_widget.h"
#include "platform/window.h"

namespace quillory::qt {

class QtTextField;
class QtImageView;

// How the window server learns what the desktop can do and where dropped files go.
struct WindowServerHooks {
    // Whether translucent windows blend; without that the panel is cut to its outline.
    std::function<bool()> compositingActive;
    // Files dropped on a panel, as URL strings.
    std::function<void(std::vector<std::string>)> filesDropped;
};

// The panel window: a PanelWidget whose frame, opacity and key state follow the program's
// calls, with the content view painted underneath its controls.
class QtWindow final : public platform::Window, public platform::ViewHost, private PanelWidgetClient {
public:
    QtWindow(const platform::Rect& frame, bool canBecomeKey, const WindowServerHooks& hooks);
    ~QtWindow() override;

    platform::Rect frame() const override { return frame_; }
    void setFrame(const platform::Rect& frame, bool display) override;
    double alphaValue() const override { return alpha_; }
    void setAlphaValue(double alpha) override;
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    bool isVisible() const override;
    void setLevel(platform::WindowLevel level) override;
    void setOpaque(bool opaque) override;
    void setBackgroundColor(const platform::Color& color) override { background_ = color; }
    void setAcceptsMouseMovedEvents(bool accepts) override;
    void setDelegate(platform::WindowDelegate* delegate) override { delegate_ = delegate; }
    void setContentView(platform::View* view) override;
    platform::TextField& addTextField(const platform::Rect& frame) override;
    platform::ImageView& addImageView(const platform::Rect& frame) override;
    void addButton(const platform::Rect& frame, const std::string& title,
                   std::function<void()> action) override;

    void viewNeedsDisplay(platform::View& view) override;
    platform::Rect convertRectToScreen(const platform::Rect& rect) const override;

    // Animations stepped by Qt's animation timer; a new one replaces the one running.
    void animateFrame(const platform::Rect& to, double seconds);
    void animateAlpha(double to, double seconds);

    PanelWidget& widget() const { return *widget_; }
    // True while the window is cut to its painted shape (no compositing manager).
    bool isMasked() const { return masked_; }

private:
    void paintContent(QPainter& painter) override;
    void activationChanged(bool active) override;
    void closing() override;
    void filesDropped(std::vector<std::string> urls) override;

    QRect childGeometry(const platform::Rect& frame) const;
    void updateMask();
    void replace(QPointer<QVariantAnimation>& running, double seconds, std::function<void(double)> step);

    platform::Rect frame_;
    WindowServerHooks hooks_;
    double alpha_ = 1.0;
    bool opaque_ = true;
    bool key_ = false;
    bool masked_ = false;
    bool canBecomeKey_;
    platform::Color background_ = platform::Color::white();
    platform::WindowDelegate* delegate_ = nullptr;
    platform::View* contentView_ = nullptr;
    // Controls keep the places they were laid out at, measured from the creation frame's top.
    double layoutHeight_;
    std::unique_ptr<PanelWidget> widget_;
    std::vector<std::unique_ptr<QtTextField>> textFields_;
    std::vector<std::unique_ptr<QtImageView>> imageViews_;
    QPointer<QVariantAnimation> frameAnimation_;
    QPointer<QVariantAnimation> alphaAnimation_;
};

class QtWindowServer final : public platform::WindowServer {
public:
    explicit QtWindowServer(WindowServerHooks hooks) : hooks_(std::move(hooks)) {}

    std::unique_ptr<platform::Window> createPanel(const platform::Rect& frame,
                                                  bool canBecomeKeyWindow) override;

private:
    WindowServerHooks hooks_;
};

}  // namespace quillory::qt
