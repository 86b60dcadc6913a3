#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>

#include "engine/HttpClient.h"
#include "kinds/CalSyncML.h"
#include "kinds/NoteSyncML.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

const char* const kNote =
    "BEGIN:VNOTE\r\nVERSION:1.1\r\nSUMMARY:Note %1\r\nBODY:text\r\nEND:VNOTE\r\n";

// A server that delivers three notes to every load.
ScriptedPeer NotesServer() {
    return ScriptedPeer([](const RecordedRequest& req, int) {
        const ClientMessage m = ReadClientMessage(req.Body);
        if (m.MsgID != "1") return PeerReply{200, BuildServerReply(Acknowledgement(2)), 0};
        ServerReplyShape r;
        for (int i = 1; i <= 3; ++i) {
            r.Commands.push_back({"Add", std::to_string(10 + i), "n" + std::to_string(i),
                                  QString::fromLatin1(kNote).arg(i).toStdString()});
        }
        return PeerReply{200, BuildServerReply(r), 0};
    });
}

class Pane : public UiTest {
protected:
    TDataPane& pane() { return *Forms().MainNoteForm; }
    void Connect(const ScriptedPeer& server) {
        pane().ServerEd->setText(QString::fromStdString(server.Url()));
        pane().ConnectBtnClick();
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < pane().List->count(); ++i) {
            rows.push_back(pane().List->item(i)->text().toStdString());
        }
        return rows;
    }
};

TEST_F(Pane, MainWindowDocksThePanesAndSwitchesTabs) {
    TMainForm& main = *Forms().MainForm;
    main.show();
    ASSERT_EQ(main.Panel1->count(), 4);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainCalForm);
    main.TabControl1->setCurrentIndex(3);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainNoteForm);
    main.TabControl1->setCurrentIndex(1);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainContForm);
    EXPECT_EQ(main.windowTitle(), "Orvanta");
    // Every control is found by its name.
    for (const char* name : {"ServerEd", "DSEd", "UserNameEd", "PasswordEd", "CheckBox1", "ProxyEd",
                             "PortEd", "ConnectBtn", "StoreBtn", "TasksLB", "TaskAddBtn",
                             "ConDeleteBtn", "EventsLB", "NoteEditBtn"}) {
        EXPECT_NE(main.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(Forms().MainContForm->DSEd->text(), "card");
    EXPECT_EQ(Forms().MainTaskForm->ServerEd->text(), kDefaultServerURL);
}

TEST_F(Pane, BeforeConnectNothingCanBeChanged) {
    EXPECT_EQ(pane().ConnectBtn->text(), "Connect");
    for (QPushButton* b : {pane().AddBtn, pane().EditBtn, pane().DeleteBtn, pane().StoreBtn}) {
        EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_EQ(pane().List->count(), 0);
    pane().EditBtnClick();  // no row: nothing happens, no dialog opens
    EXPECT_TRUE(errors.empty());
}

TEST_F(Pane, ConnectFillsTheListWithoutProxyWhenUnchecked) {
    ScriptedPeer server = NotesServer();
    pane().ProxyEd->setText("127.0.0.1");
    pane().PortEd->setValue(3128);
    Connect(server);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Note 1", "Note 2", "Note 3"}));
    EXPECT_EQ(pane().ConnectBtn->text(), "Refresh");
    EXPECT_TRUE(pane().AddBtn->isEnabled());
    EXPECT_FALSE(pane().StoreBtn->isEnabled());
    EXPECT_FALSE(pane().EditBtn->isEnabled());
    EXPECT_EQ(pane().SyncClient().HTTP->ProxyHost, "");
    EXPECT_EQ(pane().SyncClient().HTTP->ProxyPort, 0);

    pane().CheckBox1->click();
    EXPECT_TRUE(pane().ProxyEd->isEnabled());
    EXPECT_TRUE(pane().PortEd->isEnabled());
}

TEST_F(Pane, AddThenCancelLeavesEverythingAsItWas) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    pane().AddBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 3u);
    EXPECT_EQ(pane().List->count(), 3);
    EXPECT_FALSE(pane().StoreBtn->isEnabled());

    WhenModal([](QWidget*) {
        Forms().EditNoteForm->WhatEd->setText("Neu");
        Forms().EditNoteForm->OKBtnClick();
    });
    pane().AddBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 4u);
    EXPECT_EQ(Rows().back(), "Neu");
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
}

TEST_F(Pane, EditOkWithoutChangeEnablesStore) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().List->setCurrentRow(1);
    EXPECT_TRUE(pane().EditBtn->isEnabled());
    WhenModal([](QWidget*) { Forms().EditNoteForm->OKBtnClick(); });
    pane().EditBtnClick();
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
    EXPECT_EQ(pane().SyncClient().Items[1]->State, ItemState::Unchanged);
}

TEST_F(Pane, DeleteKeepsServerItemsMarkedAndDropsNewOnes) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().List->setCurrentRow(0);
    pane().DeleteBtnClick();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Note 2", "Note 3"}));
    ASSERT_EQ(pane().SyncClient().Items.size(), 3u);
    EXPECT_EQ(pane().SyncClient().Items[0]->State, ItemState::Deleted);
    EXPECT_FALSE(pane().EditBtn->isEnabled());
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
    // The remaining rows still open their own items.
    pane().List->setCurrentRow(1);
    WhenModal([](QWidget*) {
        EXPECT_EQ(Forms().EditNoteForm->WhatEd->text(), "Note 3");
        Forms().EditNoteForm->reject();
    });
    pane().EditBtnClick();

    WhenModal([](QWidget*) { Forms().EditNoteForm->OKBtnClick(); });
    pane().AddBtnClick();
    ASSERT_EQ(pane().SyncClient().Items.size(), 4u);
    pane().List->setCurrentRow(2);
    pane().DeleteBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 3u);
}

TEST_F(Pane, RefreshDiscardsPendingChanges) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().List->setCurrentRow(0);
    pane().DeleteBtnClick();
    ASSERT_TRUE(pane().StoreBtn->isEnabled());
    pane().ConnectBtnClick();
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_FALSE(pane().StoreBtn->isEnabled());
    for (const auto& item : pane().SyncClient().Items)
        EXPECT_EQ(item->State, ItemState::Unchanged);
}

TEST_F(Pane, FailedRefreshEmptiesTheListAndKeepsTheCaption) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().ServerEd->setText(QStringLiteral("http://127.0.0.1:%1/sync").arg(ClosedPort()));
    pane().ConnectBtnClick();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("Could not connect"), std::string::npos);
    EXPECT_EQ(pane().List->count(), 0);
    EXPECT_EQ(pane().ConnectBtn->text(), "Refresh");
    EXPECT_FALSE(pane().AddBtn->isEnabled());
}

TEST_F(Pane, CalendarRowsShowStartEndAndTitle) {
    TSMLCalendar& client = static_cast<TSMLCalendar&>(Forms().MainCalForm->SyncClient());
    TSMLEvent* event = client.NewItem();
    event->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:Feier\r\n"
        "DTSTART;VALUE=DATE:20241205\r\nDTEND;VALUE=DATE:20241206\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n");
    Forms().MainCalForm->FillList();
    const QLocale locale;
    const QString expected = locale.toString(QDate(2024, 12, 5), QLocale::ShortFormat) + " - " +
                             locale.toString(QDate(2024, 12, 6), QLocale::ShortFormat) + "  Feier";
    EXPECT_EQ(Forms().MainCalForm->List->item(0)->text(), expected);
}

TEST(ErrorText, FullStopRule) {
    EXPECT_EQ(ErrorText("Invalid argument to date encode"), "Invalid argument to date encode.");
    EXPECT_EQ(ErrorText("The server refused the credentials (status 401)"),
              "The server refused the credentials (status 401)");
    EXPECT_EQ(ErrorText("Done."), "Done.");
    EXPECT_EQ(ErrorText(""), "");
}

}  // namespace
}  // namespace orvanta
