#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ItemCollection.h"
#include "kinds/ContSyncML.h"
#include "replica/Replica.h"

namespace orvanta::test {

// Bytes as one token: printable ASCII as it is, \xHH for the rest (and for "\"); read
// back by Unescaped.
[[nodiscard]] std::string Escape(std::string_view bytes);
// The words of a case's command line.
[[nodiscard]] std::vector<std::string> Words(const std::string& line);

// Runs one case's commands against a replica in a folder of its own. The commands:
// offline edits (add PAYLOAD..., replace LUID PAYLOAD, delete LUID, resolve ID
// local|server), a session by hand (begin, batch, server-add SERVERID PAYLOAD,
// server-replace REF PAYLOAD, server-delete REF with REF a LUID or @SERVERID, confirm LUID
// REVISION, confirm-map LUID, commit, drop, end CLIENT SERVER, abort), crash (the program
// ends: the replica is opened again), store URL USER DATASOURCE KIND, open-sql FILE (a
// database written by FILE of tests/data/replica), dump (the whole store), and the
// window's contacts over the store (window, window-add PAYLOAD, window-set LUID
// FIELD=VALUE, window-remove LUID, window-items). A subclass adds its own commands.
class TReplicaCase {
public:
    explicit TReplicaCase(const std::filesystem::path& dir);
    virtual ~TReplicaCase() = default;

    // The output of one command line; a failure is one line, "! " and its message.
    std::vector<std::string> Run(const std::string& line);

protected:
    // Runs a command of the subclass; false for one it does not know.
    virtual bool Command(const std::vector<std::string>& words);
    void Out(std::string line) { out_.push_back(std::move(line)); }
    [[nodiscard]] TReplicaStore& Store() { return *store_; }
    [[nodiscard]] const std::filesystem::path& File() const { return file_; }
    [[nodiscard]] const StoreKey& Key() const { return key_; }
    void Reopen();
    // Closes the replica: commands that use it fail until a crash opens it again.
    void Close();

private:
    void Dispatch(const std::vector<std::string>& words);
    void Dump();

    std::filesystem::path file_;
    StoreKey key_;
    std::unique_ptr<TReplica> replica_;
    std::optional<TReplicaStore> store_;
    std::unique_ptr<TStorageBatch> batch_;
    TSMLContacts contacts_;
    std::optional<TItemCollection> items_;
    std::vector<std::string> out_;
};

}  // namespace orvanta::test
