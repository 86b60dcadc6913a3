// orvanta-sync killed (SIGKILL) in the middle of a two-way sync with the real server, at
// every message boundary and once while a reply comes in, then run again: after the
// next sync the replica and the server hold the contacts expected, none lost, none
// doubled. Each round has local changes (an add, an edit, a delete) and a third
// program's (an add, an edit) to lose; the last kills three syncs in a row, two of
// them slow ones.
#include <gtest/gtest.h>

#include "support/RealServer.h"
#include "support/SyncDevice.h"

namespace orvanta {
namespace {

using namespace test;
using Stall = ForwardingProxy::Stall;

TEST(InteropCrash, KilledAtEveryBoundaryLosesNothing) {
    const RealServer server;
    ScopedStoreContents store(server, "card", {{"k", Contact("Kept", "100")}});
    SyncDevice a(server);
    ASSERT_EQ(a.Run().Status, 0);
    ContactSet expected{{"Kept", "100"}};
    // A sync with changes both ways is three messages: the Alert, the client's changes
    // (the reply brings the server's), the Map.
    const struct {
        const char* name;
        int request;
        Stall where;
    } kills[] = {
        {"before message 1", 1, Stall::Request}, {"after message 1", 1, Stall::Reply},
        {"before message 2", 2, Stall::Request}, {"after message 2", 2, Stall::Reply},
        {"inside reply 2", 2, Stall::HalfReply}, {"before message 3", 3, Stall::Request},
        {"after message 3", 3, Stall::Reply},
    };
    const auto killAt = [&a](int request, Stall where) {
        a.Proxy().StallAt(request, where);
        const auto running = a.Start();
        ASSERT_TRUE(a.Proxy().WaitStalled());
        EXPECT_EQ(running->Kill().Status, -1);
        a.Proxy().Release();
    };
    const auto expectBothSides = [&] {
        const ToolRun again = a.Run();
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_EQ(a.Contacts(), expected);
        EXPECT_EQ(ServerContacts(server), expected);
        EXPECT_TRUE(a.Changes().empty());
    };
    int round = 0;
    for (const auto& kill : kills) {
        SCOPED_TRACE(kill.name);
        ChangeBothSides(a, server, ++round, expected);
        killAt(kill.request, kill.where);
        expectBothSides();
    }
    // Kills one after the other with no good sync between: after the changes went, then
    // inside the slow sync that follows (its reply of every item), then in the next slow
    // sync after the changes of the session that follows it (message 5).
    SCOPED_TRACE("kills in a row");
    ChangeBothSides(a, server, ++round, expected);
    killAt(2, Stall::Reply);
    killAt(2, Stall::HalfReply);
    killAt(5, Stall::Reply);
    expectBothSides();
}

}  // namespace
}  // namespace orvanta
