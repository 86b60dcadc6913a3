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
QString Count(std::size_t n, const DataKind& kind) {
    return QStringLiteral("%1 %2").arg(n).arg(
        QString::fromStdString(n == 1 ? kind.One : kind.Many));
}

// The file dialogs' filter of the client's kind, "Calendars (*.ics *.vcs)", and the
// extension an exported file gets.
QString Filter(const TSMLBase& client) {
    QString patterns;
    for (const std::string& extension : KindOf(client).Extensions)
        patterns += (patterns.isEmpty() ? "*." : " *.") + QString::fromStdString(extension);
    return QObject::tr(PaneKindOf(client).Files) + QStringLiteral(" (%1)").arg(patterns);
}
QString Suffix(const TSMLBase& client) {
    return QString::fromStdString(KindOf(client).Extensions.front());
}

std::string FileName(const QString& path) {
    return QFileInfo(path).fileName().toStdString();
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
    const DataKind& kind = KindOf(client);
    if (!client.Loaded) {
        throw Failure("Connect first: imported " + kind.Many + " are added to the loaded ones");
    }
    // Every item is read before the first joins the client.
    FileItems read = ReadFileItems(client, text);
    std::vector<std::unique_ptr<TSMLItem>>& items = read.Items;
    if (items.empty()) {
        throw Failure("The file holds no " + kind.Many +
                      (read.OtherKinds > 0 ? ", only items of another kind; import it in their tab"
                                           : ""));
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
        throw Failure("Cannot read " + FileName(path) + ": " + file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    try {
        return ImportItems(client, std::string_view(bytes.constData(), bytes.size()));
    } catch (const Failure& failure) {
        throw Failure(FileName(path) + ": " + failure.what());
    }
}

void ExportFile(const std::vector<const TSMLItem*>& items, const QString& path) {
    const std::string text = ExportItems(items);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        throw Failure("Cannot write " + FileName(path) + ": " + file.errorString().toStdString());
    }
}

QString ImportSummary(const TSMLBase& client, const ImportResult& result, const QString& path) {
    QString summary = QObject::tr("Imported %1 from %2")
                          .arg(Count(result.Added, KindOf(client)), QFileInfo(path).fileName());
    if (result.OtherKinds > 0) {
        summary += QObject::tr(" (%1 of another kind left out)").arg(result.OtherKinds);
    }
    return summary;
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
            const QStringList paths = env->ChooseFiles(
                parent, false,
                QObject::tr("Import %1").arg(QString::fromStdString(KindOf(*client).Many)),
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
            const DataKind& kind = KindOf(*client);
            const std::vector<const TSMLItem*> items =
                selectedOnly ? target.Selected() : LiveItems(*client);
            if (items.empty()) {
                throw Failure("There are no " + kind.Many + " to export" +
                              (selectedOnly ? ": select some first" : ""));
            }
            const QStringList paths = env->ChooseFiles(
                parent, true, QObject::tr("Export %1").arg(Count(items.size(), kind)),
                Filter(*client), Suffix(*client));
            if (!paths.isEmpty()) ExportFile(items, paths.front());
        });
    };
    auto* selected = fileMenu->addAction(QObject::tr("Export &selected..."));
    selected->setObjectName(QStringLiteral("ExportSelectedAction"));
    QObject::connect(selected, &QAction::triggered, fileMenu, [exporter] { exporter(true); });
    auto* all = fileMenu->addAction(QObject::tr("&Export all..."));
    all->setObjectName(QStringLiteral("ExportAllAction"));
    QObject::connect(all, &QAction::triggered, fileMenu, [exporter] { exporter(false); });
}

}  // namespace orvanta::ui
