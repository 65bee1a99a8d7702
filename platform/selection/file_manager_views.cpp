#include "platform/selection/file_manager_views.h"

#include <algorithm>

#include "platform/selection/shown_selection.h"

namespace quillory::selection {
namespace {

// Enough for any file manager's window without its menus and views; a bound against a hostile one.
constexpr std::size_t kMostObjectsSearched = 4000;
// How deep below a selected item its name may sit (Nautilus: row > cell > box > label).
constexpr int kNameDepth = 4;
// The most cells of a view without a selection that are asked whether they are selected.
constexpr std::size_t kMostScanned = 2000;

const QString kSelection = QStringLiteral("org.a11y.atspi.Selection");
const QString kTable = QStringLiteral("org.a11y.atspi.Table");

// GTK 4 names an object that has no name of its own after its widget's type.
bool isTypeName(const QString& name) {
    for (const char* prefix : {"Gtk", "Adw", "Nautilus"}) {
        const QLatin1String start(prefix);
        if (!name.startsWith(start) || name.size() == start.size() || !name.at(start.size()).isUpper())
            continue;
        return std::all_of(name.begin(), name.end(), [](QChar c) { return c.isLetter(); });
    }
    return false;
}

bool isView(std::uint32_t r) {
    return r == role::table || r == role::treeTable || r == role::layeredPane || r == role::list ||
           r == role::tree || r == role::directoryPane;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

template <class T>
T valueOr(const std::optional<T>& value, T fallback) {
    return value ? *value : fallback;
}

}  // namespace

std::optional<FileManager> fileManagerNamed(const QString& applicationName) {
    const QString name = applicationName.toLower();
    if (name == QLatin1String("org.gnome.nautilus") || name == QLatin1String("nautilus"))
        return FileManager::nautilus;
    if (name == QLatin1String("nemo")) return FileManager::nemo;
    if (name == QLatin1String("caja")) return FileManager::caja;
    if (name == QLatin1String("thunar")) return FileManager::thunar;
    if (name == QLatin1String("pcmanfm")) return FileManager::pcmanfm;
    if (name == QLatin1String("dolphin")) return FileManager::dolphin;
    return std::nullopt;
}

QStringList eventsToListenTo(FileManager kind) {
    QStringList events{QStringLiteral("object:selection-changed"),
                       QStringLiteral("object:state-changed:focused"),
                       QStringLiteral("object:active-descendant-changed"), QStringLiteral("window:activate")};
    // Where a selection shows only in the status bar: Thunar's icon view, Dolphin (which sends no
    // selection event), PCManFM's icon view for clicks.
    if (kind == FileManager::thunar || kind == FileManager::dolphin || kind == FileManager::pcmanfm)
        events << QStringLiteral("object:property-change:accessible-name");
    return events;
}

std::optional<std::vector<std::string>> WindowReader::read(FileManager kind, const Accessible& frame,
                                                           WindowParts& parts) {
    std::vector<std::string> urls;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!parts.searched) search(kind, frame, parts);
        switch (readOnce(kind, frame, parts, urls)) {
            case Outcome::read:
                return urls;
            case Outcome::stalled:
                return std::nullopt;
            case Outcome::gone:
                parts = WindowParts{};  // what was found is gone: look again, once
                break;
        }
    }
    return urls;
}

WindowReader::Outcome WindowReader::readOnce(FileManager kind, const Accessible& frame, WindowParts& parts,
                                             std::vector<std::string>& urls) {
    const std::uint64_t timeouts = bus_.timeouts();
    const std::vector<std::string> shownFolders = folders(kind, frame, parts);
    if (stalledSince(timeouts)) return Outcome::stalled;
    // The view an event came from; else each view found, the first whose selection is there.
    std::vector<Accessible> views = parts.views;
    if (!parts.view.isNull()) views.insert(views.begin(), parts.view);
    bool anyAnswered = false;
    for (const Accessible& view : views) {
        const std::optional<std::vector<std::string>> names = selectedNames(view, parts);
        if (stalledSince(timeouts)) return Outcome::stalled;
        if (!names) {
            if (view == parts.view) parts.view = {};  // gone: the views found stand in for it
            continue;
        }
        anyAnswered = true;
        urls = selectedFileUrls(shownFolders, *names);
        if (!urls.empty() || view == parts.view) break;
    }
    // Thunar's icon view shows its one selected item only in the status bar.
    if (urls.empty() && kind == FileManager::thunar) {
        std::vector<std::string> named;
        for (const auto& text : bus_.names(parts.statusBars))
            if (text)
                if (std::optional<std::string> name = quotedName(utf8(*text))) named.push_back(*name);
        urls = selectedFileUrls(shownFolders, named);
    }
    if (stalledSince(timeouts)) return Outcome::stalled;
    return anyAnswered || views.empty() ? Outcome::read : Outcome::gone;
}

void WindowReader::search(FileManager kind, const Accessible& frame, WindowParts& parts) {
    WindowParts found;
    found.view = parts.view;
    found.focused = parts.focused;
    found.searched = true;
    parts = std::move(found);
    struct Node {
        Accessible object;
        bool inToolBar;
        std::size_t parent;  // in the level above
    };
    struct Held {
        int buttons = 0, switches = 0, combos = 0;
    };
    std::vector<Node> level{{frame, false, 0}};
    std::vector<Node> above;
    std::vector<bool> aboveInToolBar;
    std::size_t seen = 0;
    std::vector<Accessible> fillers;
    while (!level.empty() && seen < kMostObjectsSearched) {
        std::vector<Accessible> objects;
        for (const Node& node : level) objects.push_back(node.object);
        seen += objects.size();
        const auto roles = bus_.roles(objects);
        const auto kids = bus_.children(objects);
        std::map<std::size_t, Held> held;  // what each object of the level above holds
        std::vector<bool> inToolBars(level.size(), false);
        std::vector<Node> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            const std::uint32_t r = valueOr(roles[i], 0u);
            const Node& node = level[i];
            if (!above.empty()) {
                Held& parent = held[node.parent];
                parent.buttons += r == role::toggleButton || r == role::radioButton;
                parent.switches += r == role::checkBox;
                parent.combos += r == role::comboBox;
            }
            if (r == role::menuBar || r == role::menu || r == role::popupMenu || !kids[i]) continue;
            const bool inToolBar = inToolBars[i] = node.inToolBar || r == role::toolBar;
            if (r == role::text && inToolBar) parts.locations.push_back(node.object);
            if (r == role::statusBar) parts.statusBars.push_back(node.object);
            if (r == role::filler && kind == FileManager::nautilus) fillers.push_back(node.object);
            if (isView(r)) parts.views.push_back(node.object);
            if (isView(r) && r != role::directoryPane) continue;  // its items are read when selected
            if (kids[i]->size() > kMostObjectsSearched) continue;
            for (const Accessible& child : *kids[i]) next.push_back({child, inToolBar, i});
        }
        // Rows of buttons are known by what they hold: toggles for a path, or Dolphin's
        // breadcrumb with its edit-mode switch and its location box.
        for (const auto& [index, holds] : held) {
            if (holds.buttons >= 2 && kind != FileManager::nautilus)
                parts.pathBars.push_back(above[index].object);
            if (kind == FileManager::dolphin && aboveInToolBar[index] && holds.switches > 0 &&
                holds.combos > 0)
                parts.crumbBars.push_back(above[index].object);
        }
        above = std::move(level);
        aboveInToolBar = std::move(inToolBars);
        level = std::move(next);
    }
    // Nautilus's tabs carry the folder they show as their description.
    const auto names = bus_.names(fillers);
    for (std::size_t i = 0; i < fillers.size(); ++i)
        if (names[i] == QStringLiteral("AdwTab")) parts.tabs.push_back(fillers[i]);
}

std::optional<std::vector<std::string>> WindowReader::selectedNames(const Accessible& view,
                                                                    WindowParts& parts) {
    auto known = parts.interfaces.find(view);
    if (known == parts.interfaces.end()) {
        const std::optional<QStringList> interfaces = bus_.interfaces({view}).at(0);
        if (!interfaces) return std::nullopt;
        known = parts.interfaces.emplace(view, *interfaces).first;
    }
    const bool selection = known->second.contains(kSelection);
    const bool table = known->second.contains(kTable);
    std::optional<std::vector<Accessible>> items;
    if (selection && table) {
        // GTK 3's tree views select whole rows; the name is in the first column.
        items = bus_.selectedRowCells(view, 0);
    } else if (selection) {
        items = bus_.selectedChildren(view);
    } else if (table) {
        // Dolphin marks its selected cells but offers no selection to ask for. In a large folder
        // only the cells around the focused one are looked at: each costs Dolphin a little.
        items = bus_.children({view}).at(0);
        if (items && items->size() > kMostScanned) {
            const auto focused = std::find(items->begin(), items->end(), parts.focused);
            const std::size_t at =
                focused == items->end() ? 0 : static_cast<std::size_t>(focused - items->begin());
            const std::size_t first =
                std::min(at - std::min(at, kMostScanned / 2), items->size() - kMostScanned);
            *items = std::vector<Accessible>(items->begin() + first, items->begin() + first + kMostScanned);
        }
        if (items) {
            const auto states = bus_.states(*items);
            std::vector<Accessible> selected;
            for (std::size_t i = 0; i < items->size(); ++i)
                if (states[i] && (*states[i] & state::selected)) selected.push_back((*items)[i]);
            items = std::move(selected);
        }
    } else {
        return std::vector<std::string>{};
    }
    if (!items) return std::nullopt;
    return itemNames(*items);
}

std::vector<std::string> WindowReader::itemNames(const std::vector<Accessible>& items) {
    // Level by level below each item, all items at once: its own name, else the first one inside.
    std::vector<std::optional<QString>> found(items.size());
    std::vector<std::vector<Accessible>> frontier(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) frontier[i] = {items[i]};
    for (int depth = 0; depth <= kNameDepth; ++depth) {
        std::vector<Accessible> asked;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (!found[i]) asked.insert(asked.end(), frontier[i].begin(), frontier[i].end());
        if (asked.empty()) break;
        const auto names = bus_.names(asked);
        const auto kids = depth < kNameDepth ? bus_.children(asked) : decltype(bus_.children(asked)){};
        std::size_t at = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (found[i]) continue;
            std::vector<Accessible> below;
            for (std::size_t k = 0; k < frontier[i].size(); ++k, ++at) {
                const std::optional<QString>& name = names[at];
                if (!found[i] && name && !name->isEmpty() && !isTypeName(*name)) found[i] = name;
                if (at < kids.size() && kids[at])
                    below.insert(below.end(), kids[at]->begin(), kids[at]->end());
            }
            frontier[i] = std::move(below);
        }
    }
    // PCManFM's icons carry their name as text only.
    std::vector<Accessible> unnamed;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!found[i]) unnamed.push_back(items[i]);
    const auto texts = bus_.texts(unnamed);
    std::vector<std::string> names;
    for (std::size_t i = 0, u = 0; i < items.size(); ++i) {
        const std::optional<QString> name = found[i] ? found[i] : texts[u++];
        if (name && !name->isEmpty()) names.push_back(utf8(*name));
    }
    return names;
}

std::vector<std::string> WindowReader::folders(FileManager kind, const Accessible& frame,
                                               const WindowParts& parts) {
    std::vector<std::string> out;
    const auto add = [&out](const std::optional<std::string>& folder) {
        if (folder && std::find(out.begin(), out.end(), *folder) == out.end()) out.push_back(*folder);
    };
    if (const std::optional<QString> title = bus_.names({frame}).at(0)) add(folderFromTitle(utf8(*title)));
    for (const auto& text : bus_.texts(parts.locations))
        if (text) add(folderFromLocation(utf8(*text), places_.home));
    for (const std::string& folder : pathBarFolders(parts.pathBars)) add(folder);
    for (const auto& description : bus_.descriptions(parts.tabs))
        if (description) add(folderFromLocation(utf8(*description), places_.home));
    if (kind == FileManager::dolphin)
        for (const std::string& folder : crumbFolders(parts.crumbBars)) add(folder);
    return out;
}

std::vector<std::vector<WindowReader::Button>> WindowReader::buttonRows(const std::vector<Accessible>& bars) {
    std::vector<std::vector<Button>> rows;
    for (const auto& buttons : bus_.children(bars)) {
        if (!buttons) continue;
        const auto roles = bus_.roles(*buttons);
        const auto names = bus_.names(*buttons);
        const auto states = bus_.states(*buttons);
        std::vector<Button>& row = rows.emplace_back();
        for (std::size_t i = 0; i < buttons->size(); ++i)
            row.push_back({valueOr(roles[i], 0u), utf8(names[i].value_or(QString())),
                           (valueOr(states[i], std::uint64_t{0}) & state::checked) != 0});
    }
    return rows;
}

std::vector<std::string> WindowReader::pathBarFolders(const std::vector<Accessible>& bars) {
    std::vector<std::string> out;
    for (const std::vector<Button>& row : buttonRows(bars)) {
        std::vector<PathButton> path;
        for (const Button& button : row)
            if (button.role == role::toggleButton || button.role == role::radioButton)
                path.push_back({button.name, button.checked});
        if (std::optional<std::string> folder = folderFromPathBar(path)) out.push_back(*folder);
    }
    return out;
}

std::vector<std::string> WindowReader::crumbFolders(const std::vector<Accessible>& bars) {
    std::vector<std::string> out;
    for (const std::vector<Button>& row : buttonRows(bars)) {
        // The named buttons after the edit-mode switch are the crumbs, the place's own unnamed.
        std::vector<std::string> crumbs;
        bool afterSwitch = false;
        for (const Button& button : row) {
            afterSwitch = afterSwitch || button.role == role::checkBox;
            if (afterSwitch && button.role == role::pushButton && !button.name.empty() && button.name != "/")
                crumbs.push_back(button.name);
        }
        for (const std::string& folder : foldersBelow(places_.bases, crumbs)) out.push_back(folder);
    }
    return out;
}

}  // namespace quillory::selection
