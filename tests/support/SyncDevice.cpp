#include "support/SyncDevice.h"

#include <fstream>

#include "kinds/ContSyncML.h"
#include "support/Payloads.h"

namespace orvanta::test {

namespace fs = std::filesystem;

namespace {

// The last name and mobile phone of a contact payload.
std::pair<std::string, std::string> NameAndMobile(const std::string& payload) {
    TSMLContacts client;
    TSMLContact contact(&client);
    contact.Parse(payload);
    return {ToUTF8(contact.LastName()), ToUTF8(contact.Mobile())};
}

}  // namespace

std::string Contact(const std::string& last, const std::string& mobile) {
    return VCard({"N:" + last + ";Anna;;;", "TEL;CELL:" + mobile});
}

ContactSet ContactsIn(const std::vector<std::string>& payloads) {
    ContactSet set;
    for (const std::string& payload : payloads)
        set.insert(NameAndMobile(payload));
    return set;
}

ContactSet ServerContacts(const RealServer& server) {
    std::vector<std::string> payloads;
    for (const std::string& id : server.ItemIDs("card"))
        payloads.push_back(ReadFile(server.StoreFolder("card") / id));
    return ContactsIn(payloads);
}

fs::path ServerFileOf(const RealServer& server, const std::string& last) {
    for (const std::string& id : server.ItemIDs("card")) {
        const fs::path file = server.StoreFolder("card") / id;
        if (NameAndMobile(ReadFile(file)).first == last) return file;
    }
    return {};
}

void ChangeBothSides(SyncDevice& device, const RealServer& server, int n, ContactSet& expected) {
    const std::string now = std::to_string(n), before = std::to_string(n - 1);
    const std::string added = Contact("Local" + now, now + "01");
    const std::string kept = device.LUIDOf("Kept"), old = device.LUIDOf("Local" + before);
    device.Edit([&](TReplicaStore& store) {
        (void)store.AddLocal(std::vector<std::string_view>{added});
        store.ReplaceLocal(kept, Contact("Kept", now + "00"));
        if (!old.empty()) store.DeleteLocal(old);
    });
    std::ofstream(server.StoreFolder("card") / ("server" + now), std::ios::binary)
        << Contact("Server" + now, now + "02");
    if (const fs::path file = ServerFileOf(server, "Server" + before); !file.empty()) {
        std::ofstream(file, std::ios::binary) << Contact("Server" + before, now + "99");
        expected.erase("Server" + before);
        expected.insert({"Server" + before, now + "99"});
    }
    expected.erase("Kept");
    expected.erase("Local" + before);
    expected.insert(
        {{"Kept", now + "00"}, {"Local" + now, now + "01"}, {"Server" + now, now + "02"}});
}

SyncDevice::SyncDevice(const RealServer& server)
    : proxy_(server.Url()), file_(folder_.Path() / "replica.sqlite") {}

ToolRun SyncDevice::Run(const std::vector<std::string>& action) {
    return Start(action)->Wait();
}

std::unique_ptr<ToolProcess> SyncDevice::Start(const std::vector<std::string>& action) {
    std::vector<std::string> args{"--replica", file_.string(),    "--server", proxy_.Url(),
                                  "--user",    RealServer::kUser, "card"};
    args.insert(args.end(), action.begin(), action.end());
    return std::make_unique<ToolProcess>(
        ORVANTA_SYNC_TOOL, args,
        std::vector<std::string>{std::string("ORVANTA_PASSWORD=") + RealServer::kPassword});
}

void SyncDevice::Edit(const std::function<void(TReplicaStore&)>& edit) {
    TReplica replica(file_);
    TReplicaStore store = replica.Store({proxy_.Url(), RealServer::kUser, "card", "card"});
    edit(store);
}

std::string SyncDevice::DeviceID() {
    std::string id;
    Edit([&](TReplicaStore& store) { id = store.DeviceID(); });
    return id;
}

SyncAnchors SyncDevice::Anchors() {
    SyncAnchors anchors;
    Edit([&](TReplicaStore& store) { anchors = store.Anchors(); });
    return anchors;
}

std::map<std::string, std::string> SyncDevice::Payloads() {
    std::map<std::string, std::string> payloads;
    Edit([&](TReplicaStore& store) {
        store.ReadItems([&](const StoredItemView& item) {
            if (item.State != ItemState::Deleted) payloads.emplace(item.LUID, item.Payload);
        });
    });
    return payloads;
}

ContactSet SyncDevice::Contacts() {
    std::vector<std::string> payloads;
    for (auto& [luid, payload] : Payloads())
        payloads.push_back(std::move(payload));
    return ContactsIn(payloads);
}

std::vector<std::string> SyncDevice::Changes() {
    std::vector<std::string> luids;
    Edit([&](TReplicaStore& store) {
        for (const StoredItem& item : store.LocalChanges())
            luids.push_back(item.LUID);
    });
    return luids;
}

std::string SyncDevice::LUIDOf(const std::string& last) {
    for (const auto& [luid, payload] : Payloads())
        if (NameAndMobile(payload).first == last) return luid;
    return {};
}

}  // namespace orvanta::test
