#include "ui/ImportExport.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>

#include <memory>

#include "formats/Failure.h"
#include "formats/ObjectFile.h"
#include "kinds/ItemFiles.h"
#include "kinds/KindTable.h"
#include "ui/Environment.h"
#include "ui/PaneKinds.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

// "1 event", "3 events".
QString Count(std::size_t n, const TSMLBase& client) {
    return PaneCount(PaneKindOf(client).Count, static_cast<int>(n));
}
// "events".
QString Items(const TSMLBase& client) {
    return PaneText(PaneKindOf(client).Items);
}

// The file dialogs' filter of the client's kind, "Calendars (*.ics *.vcs)", and the
// extension an exported file gets.
QString Filter(const TSMLBase& client) {
    QString patterns;
    for (const std::string& extension : KindOf(client).Extensions)
        patterns += (patterns.isEmpty() ? "*." : " *.") + QString::fromStdString(extension);
    return PaneText(PaneKindOf(client).Files) + QStringLiteral(" (%1)").arg(patterns);
}
QString Suffix(const TSMLBase& client) {
    return QString::fromStdString(KindOf(client).Extensions.front());
}

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// The items of the client that are still there (deleted ones wait for the next store).
std::vector<const TSMLItem*> LiveItems(const TSMLBase& client) {
    std::vector<const TSMLItem*> items;
    for (const auto& item : client.Items)
        if (item->State != ItemState::Deleted) items.push_back(item.get());
    return items;
}

}  // namespace

ImportResult ImportItems(TSMLBase& client, std::string_view text) {
    if (!client.Loaded) {
        throw UserError(QObject::tr("Connect first: imported %1 are added to the loaded ones")
                            .arg(Items(client)));
    }
    // Every item is read before the first joins the client.
    FileItems read = ReadFileItems(client, text);
    std::vector<std::unique_ptr<TSMLItem>>& items = read.Items;
    if (items.empty()) {
        throw UserError(read.OtherKinds > 0
                            ? QObject::tr("The file holds no %1, only items of another kind: "
                                          "import it in their tab")
                                  .arg(Items(client))
                            : QObject::tr("The file holds no %1").arg(Items(client)));
    }
    std::vector<std::string> ids = client.MakeUniqueIDs(items.size());
    client.Items.reserve(client.Items.size() + items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->ID = std::move(ids[i]);
        items[i]->State = ItemState::New;
        client.Items.push_back(std::move(items[i]));
    }
    return {items.size(), read.OtherKinds};
}

std::string ExportItems(const std::vector<const TSMLItem*>& items) {
    std::vector<std::string> payloads;
    payloads.reserve(items.size());
    for (const TSMLItem* item : items)
        payloads.push_back(item->GetText());
    return JoinObjectFile(payloads);
}

ImportResult ImportFile(TSMLBase& client, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw UserError(QObject::tr("%1 cannot be read").arg(FileName(path)), file.errorString());
    }
    const QByteArray bytes = file.readAll();
    try {
        return ImportItems(client, std::string_view(bytes.constData(), bytes.size()));
    } catch (const UserError& failure) {
        throw UserError(FileName(path) + QStringLiteral(": ") + failure.Text(), failure.Detail());
    } catch (const Failure& failure) {
        // The file's lines themselves (a NUL byte, an END that closes nothing ...).
        throw UserError(QObject::tr("%1 cannot be imported").arg(FileName(path)),
                        QString::fromUtf8(failure.what()));
    }
}

void ExportFile(const std::vector<const TSMLItem*>& items, const QString& path) {
    const std::string text = ExportItems(items);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        throw UserError(QObject::tr("%1 cannot be written").arg(FileName(path)),
                        file.errorString());
    }
}

QString ImportSummary(const TSMLBase& client, const ImportResult& result, const QString& path) {
    const QString summary =
        QObject::tr("Imported %1 from %2").arg(Count(result.Added, client), FileName(path));
    if (result.OtherKinds == 0) return summary;
    return QObject::tr("%1 (%n item(s) of another kind left out)", nullptr,
                       static_cast<int>(result.OtherKinds))
        .arg(summary);
}

QString ExportSummary(const TSMLBase& client, std::size_t count, const QString& path) {
    return QObject::tr("Exported %1 to %2").arg(Count(count, client), FileName(path));
}

void AddImportExportActions(QMenu* fileMenu, QWidget* parent, const TEnvironment& environment,
                            ImportExportTarget target) {
    const TEnvironment* env = &environment;
    auto* importAction = fileMenu->addAction(QObject::tr("&Import..."));
    importAction->setObjectName(QStringLiteral("ImportAction"));
    QObject::connect(importAction, &QAction::triggered, fileMenu, [parent, env, target] {
        env->Guarded([&] {
            TSMLBase* client = target.Client();
            if (!client) return;
            const QStringList paths =
                env->ChooseFiles(parent, false, QObject::tr("Import %1").arg(Items(*client)),
                                 Filter(*client), Suffix(*client));
            for (const QString& path : paths) {
                const ImportResult result = ImportFile(*client, path);
                target.Imported(ImportSummary(*client, result, path));
            }
        });
    });
    const auto exporter = [parent, env, target](bool selectedOnly) {
        env->Guarded([&] {
            TSMLBase* client = target.Client();
            if (!client) return;
            // What the list shows: a filter narrows the export as it narrows the list.
            const std::vector<const TSMLItem*> items =
                selectedOnly ? target.Selected() : target.Shown();
            const std::size_t all = LiveItems(*client).size();
            if (items.empty()) {
                throw UserError(
                    selectedOnly ? QObject::tr("There are no %1 to export: select some first")
                                       .arg(Items(*client))
                    : all > 0 ? QObject::tr("The filter leaves no %1 to export").arg(Items(*client))
                              : QObject::tr("There are no %1 to export").arg(Items(*client)));
            }
            const QString caption =
                items.size() < all && !selectedOnly
                    ? QObject::tr("Export %1 of %2", "12 of 33 contacts")
                          .arg(static_cast<qulonglong>(items.size()))
                          .arg(Count(all, *client))
                    : QObject::tr("Export %1").arg(Count(items.size(), *client));
            const QStringList paths =
                env->ChooseFiles(parent, true, caption, Filter(*client), Suffix(*client));
            if (paths.isEmpty()) return;
            ExportFile(items, paths.front());
            target.Exported(ExportSummary(*client, items.size(), paths.front()));
        });
    };
    auto* selected = fileMenu->addAction(QObject::tr("Export &selected..."));
    selected->setObjectName(QStringLiteral("ExportSelectedAction"));
    QObject::connect(selected, &QAction::triggered, fileMenu, [exporter] { exporter(true); });
    auto* all = fileMenu->addAction(QObject::tr("&Export list..."));
    all->setStatusTip(
        QObject::tr("Export the items the list shows: all, or those the filter leaves"));
    all->setObjectName(QStringLiteral("ExportAllAction"));
    QObject::connect(all, &QAction::triggered, fileMenu, [exporter] { exporter(false); });
}

}  // namespace orvanta::ui
