#include <memory>

#include "formats/Failure.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "ui/ImportExport.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

QString Sample(const std::string& name) {
    return QStringLiteral(ORVANTA_TEST_DATA "/") + QString::fromStdString(name);
}

std::string Bytes(const QString& path) {
    return test::ReadFile(path.toStdString());
}

enum Kind { kEvents, kContacts, kTasks, kNotes };  // the order of PaneKinds()

// A client of the kind as its pane holds it after Connect.
std::unique_ptr<TSMLBase> Loaded(Kind kind) {
    auto client = PaneKinds()[kind].MakeClient();
    client->Loaded = true;
    return client;
}

std::vector<const TSMLItem*> All(const TSMLBase& client) {
    std::vector<const TSMLItem*> items;
    for (const auto& item : client.Items)
        items.push_back(item.get());
    return items;
}

// Every sample file imported, exported and imported again: the item comes back as it was.
TEST(ImportExport, SampleFilesMakeTheRoundTrip) {
    QTemporaryDir dir;
    for (const CorpusFile& f : CorpusFiles()) {
        SCOPED_TRACE(f.name);
        std::unique_ptr<TSMLBase> clients[] = {f.makeClient(), f.makeClient()};
        const QString exported = dir.filePath(QString::fromStdString(f.name));
        for (const auto& client : clients) {
            client->Loaded = true;
            EXPECT_EQ(ImportFile(*client, &client == clients ? Sample(f.name) : exported).Added,
                      1u);
            ASSERT_EQ(client->Items.size(), 1u);
            EXPECT_EQ(client->Items[0]->State, ItemState::New);
            EXPECT_FALSE(client->Items[0]->ID.empty() || client->Items[0]->GetTitle().empty());
            ExportFile(All(*client), exported);
        }
        EXPECT_EQ(clients[1]->Items[0]->GetText(), clients[0]->Items[0]->GetText());
    }
}

TEST(ImportExport, SeveralItemsAndOtherKinds) {
    const std::string calendar =
        "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n"
        "BEGIN:VEVENT\r\nSUMMARY:One\r\nDTSTART:20261210T090000Z\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nSUMMARY:Two\r\nEND:VTODO\r\n"
        "BEGIN:VEVENT\r\nSUMMARY:Three\r\nDTSTART:20261211T090000Z\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    const auto events = Loaded(kEvents);
    const ImportResult result = ImportItems(*events, calendar);
    EXPECT_EQ(result.Added, 2u);
    EXPECT_EQ(result.OtherKinds, 1u);
    ASSERT_EQ(events->Items.size(), 2u);
    EXPECT_EQ(events->Items[0]->GetTitle() + u" " + events->Items[1]->GetTitle(), u"One Three");
    EXPECT_NE(events->Items[0]->ID, events->Items[1]->ID);
    EXPECT_EQ(ImportSummary(*events, result, "/tmp/x.vcs"),
              "Imported 2 events from x.vcs (1 of another kind left out)");
    // Exported, the two events are two calendars in one file.
    EXPECT_EQ(ExportItems(All(*events)), events->Items[0]->GetText() + events->Items[1]->GetText());

    const auto tasks = Loaded(kTasks);
    EXPECT_EQ(ImportItems(*tasks, calendar).Added, 1u);
    EXPECT_EQ(tasks->Items[0]->GetTitle(), u"Two");
}

// Each refusal is one clear message and leaves the client's items as they were.
TEST(ImportExport, RefusalsLeaveTheItemsAlone) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const char* text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const QString cut =
        write("cut.vcf", "BEGIN:VCARD\r\nN:Ok;Anna\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Cut\r\n");
    const QString plain = write("plain.vcf", "Anna, Ben\r\n");
    const auto notLoaded = PaneKinds()[kContacts].MakeClient();
    const struct {
        TSMLBase* client;
        QString path;
        const char* message;
    } cases[] = {
        {notLoaded.get(), Sample("contact-vcard30.vcf"),
         "contact-vcard30.vcf: Connect first: imported contacts are added to the loaded ones"},
        {nullptr, plain, "plain.vcf: The file holds no contacts"},
        {nullptr, Sample("note-vnote11.vnt"),
         "note-vnote11.vnt: The file holds no contacts, only items of another kind; "
         "import it in their tab"},
        {nullptr, cut, "cut.vcf: The file ends inside the VCARD object that begins on line 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto loaded = Loaded(kContacts);
        TSMLBase& client = c.client ? *c.client : *loaded;
        try {
            ImportFile(client, c.path);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), c.message);
        }
        EXPECT_TRUE(client.Items.empty());
    }
    const auto client = Loaded(kContacts);
    EXPECT_THROW(ImportFile(*client, dir.filePath("missing.vcf")), Failure);
    EXPECT_THROW(ExportFile({}, dir.filePath("no/such/dir/out.vcf")), Failure);
}

// The File menu's entries act on the pane in front: imported items join its list and
// wait for "Store changes"; export writes the selected or all items.
TEST_F(UiTest, FileMenuImportsAndExports) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out.vcf");
    QStringList chosen;
    SetFileChooser(
        [&](QWidget*, bool save, const QString&, const QString& filter, const QString& suffix) {
            EXPECT_TRUE(filter.contains("*.vcf"));
            EXPECT_EQ(suffix, "vcf");
            return save ? QStringList{out} : chosen;
        });
    window->TabControl1->setCurrentIndex(1);
    TDataPane& pane = Tab(1);
    ASSERT_EQ(window->CurrentPane(), &pane);
    TSMLBase& client = pane.SyncClient();
    const auto trigger = [&](const char* name) {
        window->FileMenu()->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    };

    chosen = {Sample("contact-vcard30.vcf")};
    trigger("ImportAction");  // before Connect: refused
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(client.Items.empty());

    client.Loaded = true;
    chosen = {Sample("contact-vcard30.vcf"), Sample("contact-vcard21-latin1.vcf")};
    trigger("ImportAction");
    ASSERT_EQ(client.Items.size(), 2u);
    EXPECT_EQ(pane.RowCount(), 2);
    EXPECT_TRUE(pane.StoreBtn->isEnabled());
    EXPECT_EQ(pane.StatusLbl->text(), "Imported 1 contact from contact-vcard21-latin1.vcf");

    trigger("ExportSelectedAction");  // nothing selected
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1], "There are no contacts to export: select some first.");
    EXPECT_FALSE(QFile::exists(out));

    for (int row = 0; row < pane.RowCount(); ++row) {
        pane.SelectRow(row);
        if (pane.SelectedItem() == client.Items[1].get()) break;
    }
    trigger("ExportSelectedAction");
    EXPECT_EQ(Bytes(out), Bytes(Sample("contact-vcard21-latin1.vcf")));

    client.Items[1]->State = ItemState::Deleted;  // deleted items are not exported
    trigger("ExportAllAction");
    EXPECT_EQ(Bytes(out), Bytes(Sample("contact-vcard30.vcf")));

    chosen = {};  // cancelled
    trigger("ImportAction");
    EXPECT_EQ(client.Items.size(), 2u);
    EXPECT_EQ(errors.size(), 2u);
    SetFileChooser(nullptr);
}

}  // namespace
}  // namespace orvanta
