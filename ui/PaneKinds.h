#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class QWidget;

namespace orvanta {
class TSMLBase;
class TSMLItem;
struct DataKind;
}  // namespace orvanta

namespace orvanta::ui {

struct TEnvironment;

// How a pane opens the editor of its kind. The main window makes one per kind and owns
// it; the editor's dialog is a child of the main window.
class TItemEditor {
public:
    explicit TItemEditor(const TEnvironment& environment) : environment_(environment) {}
    virtual ~TItemEditor() = default;
    // Shows the editor for the item; true on OK (the editor has written what the user
    // changed, which may be nothing).
    bool Edit(TSMLBase& client, TSMLItem& item) { return Open(client, item, false); }
    // Add: makes a new item and edits it; the item on OK, none otherwise (the new item
    // is then gone again from the client's items).
    virtual TSMLItem* Add(TSMLBase& client);

protected:
    // Shows the dialog on the item, titled for a new item when `adding`.
    virtual bool Open(TSMLBase& client, TSMLItem& item, bool adding) = 0;

    const TEnvironment& environment_;
};

// The texts of the kinds' table below are in English and marked for translation in the
// context "PaneKind"; the interface shows them through PaneText (and PaneCount).
[[nodiscard]] QString PaneText(const char* text);
// A numerus text of the table ("%n event(s)") for n items.
[[nodiscard]] QString PaneCount(const char* text, int n);

// One column of a pane's item table: its header, the text a cell shows and the value
// the column sorts by (the text when none).
struct ItemColumn {
    const char* Header;  // through PaneText
    QVariant (*Text)(const TSMLItem& item);
    QVariant (*SortKey)(const TSMLItem& item) = nullptr;
};

// The interface's part of a kind of data (its store client, defaults and files are the
// kind's own, in DataKinds()); the panes and the main window are the same for every kind.
struct PaneKind {
    const DataKind* Data;  // the kind of data the pane shows
    const char* PaneName;  // objectName of the pane: MainCalForm ...
    const char* Tab;       // caption of its tab: "Calendar" ... (through PaneText)
    const char* Group;     // caption of the list's group box: "Events" ... (through PaneText)
    const char* ListName;  // objectNames of the list and its buttons: EventsLB ...
    const char* AddName;
    const char* EditName;
    const char* DeleteName;
    const char* Files;  // the file dialogs' name of the kind's files: "Calendars" ...
    const char* Items;  // its items in a sentence: "events" ... (through PaneText)
    const char* Count;  // a number of them: "%n event(s)" (through PaneCount)
    bool Hourglass;     // busy cursor while the list fills
    std::unique_ptr<TItemEditor> (*MakeEditor)(QWidget* parent, const TEnvironment& environment);
    std::vector<ItemColumn> Columns;
    int SortColumn;  // the list's order until the user picks another column
};

// One entry per kind of DataKinds(), in its order, which is the order of the tabs. A kind
// without its interface part, or a part of no kind, fails at the first call.
[[nodiscard]] const std::vector<PaneKind>& PaneKinds();
// The entry of the client's kind; a client of no kind fails.
[[nodiscard]] const PaneKind& PaneKindOf(const TSMLBase& client);

}  // namespace orvanta::ui
