#include <algorithm>

#include "replica/Replica.h"
#include "support/RealServer.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// The real window against the real server: every pane syncs into the replica and lists
// the server's items; an edit kept offline reaches the server with the next Sync, and a
// window without a copy loads it.
TEST_F(UiTest, RealWindowAgainstTheRealServer) {
    RealServer server;
    window->show();
    SetAccount(server.Url(), true, RealServer::kUser, RealServer::kPassword);
    for (int i = 0; i < 4; ++i) {
        TDataPane& pane = Tab(i);
        RunExchange(pane, &TDataPane::SyncBtnClick);
        ASSERT_TRUE(errors.empty()) << errors.front();
        EXPECT_EQ(static_cast<std::size_t>(pane.RowCount()),
                  server.ItemIDs(pane.DSEd->text().toStdString()).size());
    }

    TDataPane& notes = Tab(3);
    const QString changed = QString::fromUtf8("Ge\xC3\xA4ndert im Fenster");
    notes.SelectRow(0);
    AcceptEditor("WhatEd", changed);
    notes.EditBtnClick();
    const auto since = RealServer::Now();
    RunExchange(notes, &TDataPane::SyncBtnClick);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(notes.PendingChanges(), 0);
    // The window's device is its replica's.
    const std::string device =
        TReplica(replicaDir.filePath("replica.sqlite").toStdString()).DeviceID();
    EXPECT_EQ(server.SessionStatus(device, since), "200");

    SetAccount(server.Url(), false, RealServer::kUser, RealServer::kPassword);
    RunExchange(notes, &TDataPane::SyncBtnClick);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(notes.SyncBtn->text(), "Refresh");
    const std::vector<std::string> rows = Rows(notes);
    EXPECT_NE(std::find(rows.begin(), rows.end(), changed.toStdString()), rows.end());
}

}  // namespace
}  // namespace orvanta
