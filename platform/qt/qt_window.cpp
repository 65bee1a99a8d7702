#include "platform/qt/qt_window.h"

#include <QBitmap>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

#include "platform/qt/panel_controls.h"
#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_run_loop.h"
#include "platform/qt/qt_screens.h"
#include "platform/qt/x11_desktop.h"

namespace quillory::qt {

using platform::Rect;

namespace {

int whole(double value) {
    return static_cast<int>(std::lround(value));
}

QRect onScreen(const Rect& frame) {
    const Rect q = currentScreenSpace().toQt(frame);
    return {whole(q.x), whole(q.y), std::max(1, whole(q.width)), std::max(1, whole(q.height))};
}

}  // namespace

QtWindow::QtWindow(const Rect& frame, bool canBecomeKey, const WindowServerHooks& hooks)
    : frame_(frame),
      hooks_(hooks),
      canBecomeKey_(canBecomeKey),
      layoutHeight_(frame.height),
      widget_(std::make_unique<PanelWidget>(static_cast<PanelWidgetClient&>(*this))) {
    applyPanelLook(*widget_);
    if (!canBecomeKey_) {
        widget_->setAttribute(Qt::WA_ShowWithoutActivating);
        widget_->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    }
    widget_->setGeometry(onScreen(frame_));
}

QtWindow::~QtWindow() {
    // Destroying a shown widget deactivates it; nobody may hear of that any more.
    delegate_ = nullptr;
    if (contentView_ != nullptr) contentView_->setWindow(nullptr);
    widget_.reset();
}

void QtWindow::setFrame(const Rect& frame, bool display) {
    const bool resized = frame.size() != frame_.size();
    frame_ = frame;
    widget_->setGeometry(onScreen(frame_));
    if (resized) {
        // The content view follows the window's size before the delegate hears of it.
        if (contentView_ != nullptr) contentView_->setFrame({0.0, 0.0, frame.width, frame.height});
        if (delegate_ != nullptr) delegate_->windowDidResize();
        updateMask();
    }
    if (display) widget_->update();
}

void QtWindow::setAlphaValue(double alpha) {
    alpha_ = alpha;
    widget_->setWindowOpacity(alpha);
}

void QtWindow::makeKeyAndOrderFront() {
    masked_ = hooks_.compositingActive ? !hooks_.compositingActive() : false;
    updateMask();
    if (!widget_->isVisible()) desktop::keepOffTaskbar(widget_->winId());
    widget_->show();
    widget_->raise();
    if (canBecomeKey_) widget_->activateWindow();
}

void QtWindow::orderOut() {
    widget_->hide();
}

bool QtWindow::isVisible() const {
    return widget_->isVisible();
}

void QtWindow::setLevel(platform::WindowLevel level) {
    const bool onTop = level != platform::WindowLevel::normal;
    if (widget_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
    const bool shown = widget_->isVisible();
    widget_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides a shown window
    if (shown) widget_->show();
}

void QtWindow::setOpaque(bool opaque) {
    opaque_ = opaque;
    updateMask();
    widget_->update();
}

void QtWindow::setAcceptsMouseMovedEvents(bool accepts) {
    widget_->setMouseTracking(accepts);
}

void QtWindow::setContentView(platform::View* view) {
    if (contentView_ != nullptr) contentView_->setWindow(nullptr);
    contentView_ = view;
    if (view != nullptr) {
        view->setFrame({0.0, 0.0, frame_.width, frame_.height});
        view->setWindow(this);
    }
    updateMask();
    widget_->update();
}

QRect QtWindow::childGeometry(const Rect& frame) const {
    // The window's own coordinates grow upward from its bottom edge at creation, like a screen's.
    const Rect q = ScreenSpace({0.0, 0.0, 0.0, layoutHeight_}).toQt(frame);
    return {whole(q.x), whole(q.y), whole(q.width), whole(q.height)};
}

platform::TextField& QtWindow::addTextField(const Rect& frame) {
    return *textFields_.emplace_back(std::make_unique<QtTextField>(*widget_, childGeometry(frame)));
}

platform::ImageView& QtWindow::addImageView(const Rect& frame) {
    return *imageViews_.emplace_back(std::make_unique<QtImageView>(*widget_, childGeometry(frame)));
}

void QtWindow::addButton(const Rect& frame, const std::string& title, std::function<void()> action) {
    addPushButton(*widget_, childGeometry(frame), title, std::move(action));
}

void QtWindow::viewNeedsDisplay(platform::View& /*view*/) {
    widget_->update();
    if (masked_) updateMask();
}

Rect QtWindow::convertRectToScreen(const Rect& rect) const {
    return {frame_.x + rect.x, frame_.y + rect.y, rect.width, rect.height};
}

void QtWindow::paintContent(QPainter& painter) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(widget_->rect(), opaque_ ? QtGraphics::toQColor(background_) : QColor(Qt::transparent));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (contentView_ == nullptr) return;
    QtGraphics graphics(painter, contentView_->bounds().height);
    contentView_->display(graphics);
}

// Without a compositing manager X11 shows transparent pixels black: cut the window to the
// pixels the content view paints instead.
void QtWindow::updateMask() {
    if (!masked_ || opaque_ || contentView_ == nullptr) {
        if (!widget_->mask().isEmpty()) widget_->clearMask();
        return;
    }
    QImage shape(widget_->size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        QtGraphics graphics(painter, contentView_->bounds().height);
        contentView_->display(graphics);
    }
    widget_->setMask(QRegion(QBitmap::fromImage(shape.createAlphaMask())));
}

void QtWindow::activationChanged(bool active) {
    if (active) {
        key_ = true;
    } else if (key_) {
        key_ = false;
        if (delegate_ != nullptr) delegate_->windowDidResignKey();
    }
}

void QtWindow::closing() {
    if (delegate_ != nullptr) delegate_->windowWillClose();
}

void QtWindow::filesDropped(std::vector<std::string> urls) {
    if (hooks_.filesDropped) hooks_.filesDropped(std::move(urls));
}

void QtWindow::replace(QPointer<QVariantAnimation>& running, double seconds,
                       std::function<void(double)> step) {
    if (running) {
        running->stop();
        running->deleteLater();
    }
    const int milliseconds = QtRunLoop::toMilliseconds(seconds);
    if (milliseconds <= 0) {
        step(1.0);
        return;
    }
    auto* animation = new QVariantAnimation(widget_.get());
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(milliseconds);
    QObject::connect(animation, &QVariantAnimation::valueChanged, animation,
                     [step = std::move(step)](const QVariant& t) { step(t.toDouble()); });
    running = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void QtWindow::animateFrame(const Rect& to, double seconds) {
    replace(frameAnimation_, seconds, [this, from = frame_, to](double t) {
        setFrame(t >= 1.0 ? to : platform::interpolate(from, to, t), true);
    });
}

void QtWindow::animateAlpha(double to, double seconds) {
    replace(alphaAnimation_, seconds, [this, from = alpha_, to](double t) {
        setAlphaValue(t >= 1.0 ? to : platform::interpolate(from, to, t));
    });
}

std::unique_ptr<platform::Window> QtWindowServer::createPanel(const Rect& frame, bool canBecomeKeyWindow) {
    return std::make_unique<QtWindow>(frame, canBecomeKeyWindow, hooks_);
}

}  // namespace quillory::qt
