#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "replica/Replica.h"
#include "support/ChildProcess.h"
#include "support/ForwardingProxy.h"
#include "support/RealServer.h"
#include "support/ReplicaSupport.h"

namespace orvanta::test {

// Contacts as the two-way interop tests compare them: last name to mobile phone, one
// entry per item, so that an item lost or doubled shows.
using ContactSet = std::multimap<std::string, std::string>;

// A vCard 2.1 contact "Anna LAST" with the mobile phone.
[[nodiscard]] std::string Contact(const std::string& last, const std::string& mobile);
[[nodiscard]] ContactSet ContactsIn(const std::vector<std::string>& payloads);
// The contacts of the real server's "card" store: its files.
[[nodiscard]] ContactSet ServerContacts(const RealServer& server);
// The file of the server's contact of that last name (a third writer edits it).
[[nodiscard]] std::filesystem::path ServerFileOf(const RealServer& server, const std::string& last);

// Round n of a test that loses syncs: the device adds "Localn", edits "Kept" and deletes
// the last round's "Local"; a third writer adds "Servern" to the server's folder and edits
// the last round's "Server". `expected` becomes what both sides hold after a good sync.
class SyncDevice;
void ChangeBothSides(SyncDevice& device, const RealServer& server, int n, ContactSet& expected);

// One device of the two-way interop tests: a replica of its own (so a device ID of its
// own) in a temporary folder, whose "card" data source orvanta-sync syncs with the real
// server, as a child process, through a forwarding proxy of its own (the account's URL is
// the proxy's).
class SyncDevice {
public:
    explicit SyncDevice(const RealServer& server);

    [[nodiscard]] ForwardingProxy& Proxy() { return proxy_; }
    // orvanta-sync with this device's account and the action's words, to its end.
    ToolRun Run(const std::vector<std::string>& action = {});
    // The same, started: a test kills it.
    [[nodiscard]] std::unique_ptr<ToolProcess> Start(const std::vector<std::string>& action = {});

    // The replica's data source, opened for the call only, so that the tool has the file
    // to itself otherwise.
    void Edit(const std::function<void(TReplicaStore&)>& edit);
    [[nodiscard]] std::string DeviceID();
    [[nodiscard]] SyncAnchors Anchors();
    // The items not deleted, and the LUIDs of those with a change to send.
    [[nodiscard]] ContactSet Contacts();
    [[nodiscard]] std::vector<std::string> Changes();
    // The payloads of the items not deleted, by LUID.
    [[nodiscard]] std::map<std::string, std::string> Payloads();
    // The LUID of the contact of that last name; empty when there is none.
    [[nodiscard]] std::string LUIDOf(const std::string& last);

private:
    TempFolder folder_;
    ForwardingProxy proxy_;
    std::filesystem::path file_;
};

}  // namespace orvanta::test
