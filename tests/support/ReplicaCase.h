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

// Cases as files: a script of commands, each with the output expected of it indented
// under it, and comments ("#"). The runner writes the transcript anew and compares it;
// ORVANTA_UPDATE_CASES=1 writes it into the file instead (read every change before
// committing it).

// Bytes as one token: printable ASCII as it is, \xHH for the rest (and for "\").
[[nodiscard]] std::string Escape(std::string_view bytes);
[[nodiscard]] std::string Unescape(const std::string& token);

// The *.case files of a folder, in name order, and a test name for each.
[[nodiscard]] std::vector<std::filesystem::path> CaseFiles(const std::filesystem::path& dir);
[[nodiscard]] std::string CaseName(const std::filesystem::path& file);

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
    virtual ~TReplicaCase();
    TReplicaCase(const TReplicaCase&) = delete;
    TReplicaCase& operator=(const TReplicaCase&) = delete;

    // The output of one command; a failure is one line, "! " and its message.
    std::vector<std::string> Run(const std::vector<std::string>& words);
    // The case file run afresh: its commands and comments as they are, each command's
    // output indented under it. EXPECTs it to be the file, or writes it (see above).
    void Check(const std::filesystem::path& file);

protected:
    // Runs a command of the subclass; false for one it does not know.
    virtual bool Command(const std::vector<std::string>& words);
    void Out(std::string line) { out_.push_back(std::move(line)); }
    [[nodiscard]] TReplicaStore& Store() { return *store_; }
    [[nodiscard]] const std::filesystem::path& File() const { return file_; }
    [[nodiscard]] const StoreKey& Key() const { return key_; }
    void Reopen();

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
