#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QMenu;
class QWidget;

namespace orvanta {
class TSMLBase;
class TSMLItem;
}  // namespace orvanta

namespace orvanta::ui {

struct TEnvironment;

// Import and export of items as files: vCard (.vcf), iCalendar / vCalendar (.ics, .vcs)
// and vNote (.vnt), the files address books, calendars and note programs exchange.

struct ImportResult {
    std::size_t Added = 0;
    std::size_t OtherKinds = 0;  // items of another kind in the file, left out
};

// Adds the items of a file's text to the client as new items, sent to the server with
// the next store. All or nothing: a payload the item cannot read leaves the client as it
// was. Refused before the client has loaded its data and when the text holds no item of
// the client's kind (the message names what it does hold).
ImportResult ImportItems(TSMLBase& client, std::string_view text);
// The payloads of the items one after another: what the server would get, byte for byte.
[[nodiscard]] std::string ExportItems(const std::vector<const TSMLItem*>& items);

// The same with files. Reading or writing failures are reported as UserError with the
// file's name; an export replaces the file only once it is completely written.
ImportResult ImportFile(TSMLBase& client, const QString& path);
void ExportFile(const std::vector<const TSMLItem*>& items, const QString& path);

// One line for the status bar about an import: "Imported 3 events from a.ics".
[[nodiscard]] QString ImportSummary(const TSMLBase& client, const ImportResult& result,
                                    const QString& path);
// And about an export: "Exported 12 contacts to a.vcf".
[[nodiscard]] QString ExportSummary(const TSMLBase& client, std::size_t count, const QString& path);

// What the File menu's entries act on: the pane in front.
struct ImportExportTarget {
    std::function<TSMLBase*()> Client;                       // none: no pane
    std::function<std::vector<const TSMLItem*>()> Selected;  // the selected items
    std::function<std::vector<const TSMLItem*>()> Shown;     // the items the list shows
    std::function<void(const QString& summary)> Imported;    // refresh list and buttons
    std::function<void(const QString& summary)> Exported;    // tell the user
};

// Adds "Import...", "Export selected..." and "Export list..." (what the list shows, as
// its filter leaves it) to the File menu; they ask for files and report failures through
// the environment, which outlives the menu.
void AddImportExportActions(QMenu* fileMenu, QWidget* parent, const TEnvironment& environment,
                            ImportExportTarget target);

}  // namespace orvanta::ui
