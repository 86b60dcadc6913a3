#include <algorithm>

#include "support/RealServer.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// The real window against the real server: every pane connects and lists the server's
// items; an edit stored from the notes pane reaches the server and a Refresh shows it.
TEST_F(UiTest, RealWindowAgainstTheRealServer) {
    RealServer server;
    window->show();
    for (int i = 0; i < 4; ++i) {
        TDataPane& pane = Tab(i);
        pane.ServerEd->setText(QString::fromStdString(server.Url()));
        pane.UserNameEd->setText(RealServer::kUser);
        pane.PasswordEd->setText(RealServer::kPassword);
        RunExchange(pane, &TDataPane::ConnectBtnClick);
        ASSERT_TRUE(errors.empty()) << errors.front();
        EXPECT_EQ(static_cast<std::size_t>(pane.RowCount()),
                  server.ItemIDs(pane.DSEd->text().toStdString()).size());
        EXPECT_EQ(pane.ConnectBtn->text(), "Refresh");
    }

    TDataPane& notes = Tab(3);
    const QString changed = QString::fromUtf8("Ge\xC3\xA4ndert im Fenster");
    notes.SelectRow(0);
    AcceptEditor("WhatEd", changed);
    notes.EditBtnClick();
    const auto since = RealServer::Now();
    RunExchange(notes, &TDataPane::StoreBtnClick);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_FALSE(notes.StoreBtn->isEnabled());
    EXPECT_EQ(server.SessionStatus("NoteSyncML", since), "200");

    RunExchange(notes, &TDataPane::ConnectBtnClick);
    const std::vector<std::string> rows = Rows(notes);
    EXPECT_NE(std::find(rows.begin(), rows.end(), changed.toStdString()), rows.end());
}

}  // namespace
}  // namespace orvanta
