#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QMimeData;

namespace quillory::qt {

// What the panel's top-level widget reports to the window that owns it.
class PanelWidgetClient {
public:
    PanelWidgetClient() = default;
    PanelWidgetClient(const PanelWidgetClient&) = delete;
    PanelWidgetClient& operator=(const PanelWidgetClient&) = delete;
    virtual ~PanelWidgetClient() = default;

    virtual void paintContent(QPainter& painter) = 0;
    virtual void activationChanged(bool active) = 0;
    virtual void closing() = 0;
    virtual void filesDropped(std::vector<std::string> urls) = 0;
};

// A frameless, translucent, always-on-top tool window that stays on screen while the user works
// in another application, and takes files dropped on it.
class PanelWidget final : public QWidget {
public:
    explicit PanelWidget(PanelWidgetClient& client);

    // The URL strings of the local files a drag carries, in its order.
    static std::vector<std::string> droppedFiles(const QMimeData* data);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    PanelWidgetClient& client_;
};

}  // namespace quillory::qt
