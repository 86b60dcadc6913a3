#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class QWidget;

namespace orvanta {
class TSMLBase;
class TSMLItem;
}  // namespace orvanta

namespace orvanta::ui {

// How a pane opens the editor of its kind. The main window makes one per kind and owns
// it; the editor's dialog is a child of the main window.
class TItemEditor {
public:
    virtual ~TItemEditor() = default;
    // Shows the editor for the item; true on OK (the editor has written the item).
    virtual bool Edit(TSMLBase& client, TSMLItem& item) = 0;
    // Add: makes a new item and edits it; the item on OK, none otherwise (the new item
    // is then gone again from the client's items).
    virtual TSMLItem* Add(TSMLBase& client);
};

// One column of a pane's item table: its header, the text a cell shows and the value
// the column sorts by (the text when none).
struct ItemColumn {
    const char* Header;
    QVariant (*Text)(const TSMLItem& item);
    QVariant (*SortKey)(const TSMLItem& item) = nullptr;
};

// Everything that tells one kind of data apart in the interface; the panes and the main
// window are the same for every kind.
struct PaneKind {
    const char* PaneName;  // objectName of the pane: MainCalForm ...
    const char* Tab;       // caption of its tab: "Calendar" ...
    const char* Group;     // caption of the list's group box: "Events" ...
    const char* ListName;  // objectNames of the list and its buttons: EventsLB ...
    const char* AddName;
    const char* EditName;
    const char* DeleteName;
    const char* DataSource;  // default of the data source
    bool Hourglass;          // busy cursor while the list fills
    std::unique_ptr<TSMLBase> (*MakeClient)();
    std::unique_ptr<TItemEditor> (*MakeEditor)(QWidget* parent);
    std::vector<ItemColumn> Columns;
    int SortColumn;  // the list's order until the user picks another column
};

// The kinds of data in the order of their tabs: calendar, contacts, tasks, notes.
[[nodiscard]] const std::vector<PaneKind>& PaneKinds();

}  // namespace orvanta::ui
