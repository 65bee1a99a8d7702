#include "platform/qt/qt_status_bar.h"

#include <QCursor>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/qt/launch_env.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_screens.h"
#include "platform/qt/x11_desktop.h"

namespace quillory::qt {

namespace {

// The tray glyph by name, installed in the hicolor theme.
const QString kSymbolicIconName = QStringLiteral("quillory-status-symbolic");

// The sizes StatusNotifierItem hosts pick from: panels of 16 to 32 px, at one or two device
// pixels a point.
const QList<int> kHostIconSides{16, 22, 24, 32, 48, 64};
// Scale of the drawing the glyph is cut from: fine enough for the largest side.
constexpr double kGlyphScale = 4.0;

// Drawn once at the largest scale; the smaller pictures are smooth reductions of it.
constexpr int kLargestScale = 3;

QIcon iconFrom(const QImage& largest) {
    QIcon icon;
    for (int scale = 1; scale <= kLargestScale; ++scale) {
        const int side = largest.width() * scale / kLargestScale;
        icon.addPixmap(QPixmap::fromImage(
            scale == kLargestScale
                ? largest
                : largest.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    return icon;
}

// Caps Lock is known on X11 only; elsewhere Qt says what it knows.
ModifierKeys currentModifierKeys() {
    if (std::optional<ModifierKeys> keys = desktop::x11ModifierKeys()) return *keys;
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return {false, held.testFlag(Qt::ShiftModifier), held.testFlag(Qt::ControlModifier),
            held.testFlag(Qt::AltModifier), held.testFlag(Qt::MetaModifier)};
}

}  // namespace

QImage renderStatusView(platform::View& view, double scale) {
    const platform::Rect bounds = view.bounds();
    const double side = std::max(bounds.width, bounds.height);
    const int pixels = std::max(1, static_cast<int>(std::ceil(side * scale)));
    QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.scale(scale, scale);
    painter.translate((side - bounds.width) / 2.0, (side - bounds.height) / 2.0);
    {
        QtGraphics graphics(painter, bounds.height);
        view.display(graphics);
    }
    return canvas;
}

QList<QImage> glyphPictures(platform::View& view, const QList<int>& sides) {
    const QImage drawing = renderStatusView(view, kGlyphScale);
    QRect drawn;
    for (int y = 0; y < drawing.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(drawing.constScanLine(y));
        for (int x = 0; x < drawing.width(); ++x) {
            if (qAlpha(row[x]) != 0) drawn |= QRect(x, y, 1, 1);
        }
    }
    if (drawn.isEmpty()) drawn = drawing.rect();
    const int side = std::max(drawn.width(), drawn.height());
    const QImage glyph = drawing.copy(
        QRect(QPoint(0, 0), QSize(side, side)).translated(drawn.center() - QPoint(side / 2, side / 2)));
    QList<QImage> pictures;
    for (int wanted : sides)
        pictures.append(glyph.scaled(wanted, wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return pictures;
}

QtStatusItem::QtStatusItem(double length, QtApplication& application, TrayKind kind)
    : length_(length),
      application_(application),
      pointerIsCurrent_(
          pointerIsCurrent({std::nullopt, std::nullopt, qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(),
                            qEnvironmentVariable("XDG_SESSION_TYPE").toStdString()})) {
    if (kind == TrayKind::statusNotifier) {
        notifier_ = std::make_unique<StatusNotifier>(
            QDBusConnection::sessionBus(),
            StatusNotifier::Handlers{[this](std::optional<QPoint> at) { clicked(at); },
                                     [this](std::optional<QPoint> at) {
                                         menuOpenedAt_ = at;
                                         if (menu_) menu_->popup(at.value_or(QCursor::pos()));
                                     },
                                     [this] { menuOpenedAt_ = pointer(); },
                                     [this](int entry) {
                                         if (entry < static_cast<int>(menuActions_.size()))
                                             chosen(menuActions_[static_cast<std::size_t>(entry)]);
                                     }});
        return;
    }
    tray_ = std::make_unique<QSystemTrayIcon>();
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, tray_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
}

QtStatusItem::~QtStatusItem() {
    if (view_ != nullptr) view_->setWindow(nullptr);
    remove();
}

void QtStatusItem::setView(platform::View* view) {
    if (view_ != nullptr) view_->setWindow(nullptr);
    view_ = view;
    if (view_ == nullptr) return;
    view_->setWindow(this);
    viewNeedsDisplay(*view_);
}

void QtStatusItem::viewNeedsDisplay(platform::View& /*view*/) {
    if (displayScheduled_ || (!tray_ && !notifier_)) return;
    displayScheduled_ = true;
    QTimer::singleShot(0, &context_, [this] {
        displayScheduled_ = false;
        displayPass();
    });
}

void QtStatusItem::displayPass() {
    if (view_ == nullptr || (!tray_ && !notifier_)) return;
    ++displayPasses_;
    drawing_ = renderStatusView(*view_, kLargestScale);
    if (notifier_) {
        // A host that knows the glyph by name (installed) recolours it for its panel.
        notifier_->setIcon(QIcon::hasThemeIcon(kSymbolicIconName) ? kSymbolicIconName : QString(),
                           glyphPictures(*view_, kHostIconSides));
        return;
    }
    // An XEmbed tray gets the drawing made for its colour hint.
    tray_->setIcon(iconFrom(drawing_));
    if (!tray_->isVisible()) tray_->show();
}

platform::Rect QtStatusItem::convertRectToScreen(const platform::Rect& rect) const {
    const QRect slot = tray_ ? tray_->geometry() : QRect();
    if (slot.isEmpty() || view_ == nullptr || view_->bounds().width <= 0.0 || view_->bounds().height <= 0.0) {
        return {};
    }
    // The view fills the slot: its y-up rectangle, flipped inside the view and scaled to the slot.
    const platform::Rect host = view_->bounds();
    const platform::Rect inView = ScreenSpace(host).toQt(rect);
    const double sx = slot.width() / host.width;
    const double sy = slot.height() / host.height;
    const platform::Rect inQt{slot.x() + inView.x * sx, slot.y() + inView.y * sy, inView.width * sx,
                              inView.height * sy};
    return currentScreenSpace().toProgram(inQt);
}

void QtStatusItem::setMenu(const std::vector<platform::MenuItem>& items) {
    if (!tray_ && !notifier_) return;
    if (items.empty()) {
        if (tray_) tray_->setContextMenu(nullptr);
        if (notifier_) notifier_->setMenu({});
        menu_.reset();
        menuActions_.clear();
        return;
    }
    if (!menu_) {
        menu_ = std::make_unique<QMenu>();
        // Where the menu was opened stands for the click on the icon: a host that shows the menu
        // on a click says no more than that.
        if (tray_) {
            QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(),
                             [this] { menuOpenedAt_ = pointer(); });
        }
    }
    // Retitled in place, so that a host showing the menu sees the same entries change.
    const QList<QAction*> actions = menu_->actions();
    if (actions.size() != static_cast<qsizetype>(items.size())) {
        menu_->clear();
        for (std::size_t i = 0; i < items.size(); ++i) {
            QAction* action = menu_->addAction(QString());
            QObject::connect(action, &QAction::triggered, menu_.get(),
                             [this, i] { chosen(menuActions_.at(i)); });
        }
    }
    menuActions_.clear();
    QStringList titles;
    for (std::size_t i = 0; i < items.size(); ++i) {
        titles.append(QString::fromStdString(items[i].title));
        menu_->actions().at(static_cast<qsizetype>(i))->setText(titles.back());
        menuActions_.push_back(items[i].action);
    }
    if (notifier_) notifier_->setMenu(titles);
    if (tray_ && tray_->contextMenu() != menu_.get()) tray_->setContextMenu(menu_.get());
}

void QtStatusItem::setToolTip(const std::string& text) {
    if (tray_) tray_->setToolTip(QString::fromStdString(text));
    if (notifier_) notifier_->setToolTip(QString::fromStdString(text));
}

void QtStatusItem::chosen(const std::string& action) {
    const platform::Event event = clickEvent(menuOpenedAt_);
    application_.handleEvent(event, [this, &action] { application_.sendAction(action, nullptr, view_); });
}

std::optional<QPoint> QtStatusItem::pointer() const {
    return pointerIsCurrent_ ? std::optional<QPoint>(QCursor::pos()) : std::nullopt;
}

platform::Event QtStatusItem::clickEvent(std::optional<QPoint> where) const {
    platform::Event event{platform::kLeftMouseDown, modifierFlags(currentModifierKeys()), std::nullopt};
    if (where) {
        event.locationInScreen = currentScreenSpace().toProgram(
            platform::Point{static_cast<double>(where->x()), static_cast<double>(where->y())});
    }
    return event;
}

void QtStatusItem::remove() {
    notifier_.reset();
    if (!tray_) return;
    tray_->setContextMenu(nullptr);
    tray_->hide();
    tray_.reset();
}

void QtStatusItem::activated(QSystemTrayIcon::ActivationReason reason) {
    // Every press counts, the second of a double click included, as mouse-downs do.
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
    clicked(pointer());
}

void QtStatusItem::clicked(std::optional<QPoint> where) {
    if (view_ == nullptr) return;
    const platform::Event event = clickEvent(where);
    application_.handleEvent(event, [this, &event] {
        if (view_ != nullptr) view_->mouseDown(event);
    });
}

QtStatusBar::QtStatusBar(QtApplication& application, TrayKind kind)
    : application_(application), kind_(kind), thickness_(currentBarThickness()) {}

std::shared_ptr<platform::StatusItem> QtStatusBar::statusItemWithLength(double length) {
    return items_.emplace_back(std::make_shared<QtStatusItem>(length, application_, kind_));
}

void QtStatusBar::removeStatusItem(const platform::StatusItem* item) {
    auto it =
        std::find_if(items_.begin(), items_.end(), [item](const auto& held) { return held.get() == item; });
    if (it == items_.end()) return;
    (*it)->remove();
    items_.erase(it);
}

void QtStatusBar::redisplayAll() {
    for (const auto& item : items_) item->redisplay();
}

}  // namespace quillory::qt
