#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/selection/accessibility_bus.h"

namespace quillory::selection {

// The file managers whose views are read, known by the name their application gives itself.
enum class FileManager { nautilus, nemo, caja, thunar, pcmanfm, dolphin };

std::optional<FileManager> fileManagerNamed(const QString& applicationName);
// The events a file manager of this kind is asked to send.
QStringList eventsToListenTo(FileManager kind);

// What is kept of one file-manager window: found by one search of the window, and searched
// again only when something found there is gone.
struct WindowParts {
    Accessible view;                    // the view an event came from last; null before
    Accessible focused;                 // the item that took the focus last
    std::vector<Accessible> views;      // views the search found, in the window's order
    std::vector<Accessible> locations;  // location fields: the text fields of the tool bars
    std::vector<Accessible> pathBars;   // rows of path buttons
    std::vector<Accessible> tabs;       // tabs that carry their folder as description
    std::vector<Accessible> crumbBars;  // breadcrumbs below an unnamed place
    std::vector<Accessible> statusBars;
    std::map<Accessible, QStringList> interfaces;
    bool searched = false;
};

// Reads the selection a file-manager window shows, asking only for the selected items' names
// and what shows the folder.
class WindowReader {
public:
    struct Places {
        std::string home;
        std::vector<std::string> bases;  // the places a breadcrumb may start from
    };

    WindowReader(AccessibilityBus& bus, Places places) : bus_(bus), places_(std::move(places)) {}

    // The selection of `frame` as file: URLs; none when a program stopped answering meanwhile.
    std::optional<std::vector<std::string>> read(FileManager kind, const Accessible& frame,
                                                 WindowParts& parts);

private:
    enum class Outcome { read, gone, stalled };

    Outcome readOnce(FileManager kind, const Accessible& frame, WindowParts& parts,
                     std::vector<std::string>& urls);
    void search(FileManager kind, const Accessible& frame, WindowParts& parts);
    // The shown names of the selected items of `view`; none when the view is gone.
    std::optional<std::vector<std::string>> selectedNames(const Accessible& view, WindowParts& parts);
    std::vector<std::string> itemNames(const std::vector<Accessible>& items);
    std::vector<std::string> folders(FileManager kind, const Accessible& frame, const WindowParts& parts);
    struct Button {
        std::uint32_t role;
        std::string name;
        bool checked;
    };
    // The buttons each of `bars` holds, in order.
    std::vector<std::vector<Button>> buttonRows(const std::vector<Accessible>& bars);
    std::vector<std::string> pathBarFolders(const std::vector<Accessible>& bars);
    std::vector<std::string> crumbFolders(const std::vector<Accessible>& bars);
    bool stalledSince(std::uint64_t timeouts) const { return bus_.timeouts() != timeouts; }

    AccessibilityBus& bus_;
    Places places_;
};

}  // namespace quillory::selection
