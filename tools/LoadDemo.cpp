// orvanta-load: loads one data store of a SyncML server and lists its items.
//   orvanta-load URL USER [cal|card|task|vnote] [DATASOURCE] [--fields] [--ca-file FILE]
// The password comes from ORVANTA_PASSWORD or is asked on the terminal, never from the
// command line, where other users would see it.
// With --fields (anywhere on the line) each item is printed as one JSON object per line
// with every field of its kind, as the editors see them. --ca-file names the certificate
// authority of a server with a private one. Exit status: 0 loaded, 1 failed, 2 wrong
// usage, 3 loaded but the server's items were refused in part (said on stderr).
// --help prints the usage and --version the version, both on stdout, and end with 0.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kinds/KindTable.h"
#include "tools/ItemJson.h"
#include "tools/Terminal.h"

using namespace orvanta;

int main(int argc, char** argv) {
    bool fields = false;
    bool usage = false;
    bool help = false;
    std::string caFile;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--fields") {
            fields = true;
        } else if (arg == "--help") {
            help = true;
        } else if (arg == "--version") {
            std::printf("orvanta-load %s\n", ORVANTA_VERSION);
            return 0;
        } else if (arg == "--ca-file") {
            usage |= i + 1 == argc;
            if (i + 1 < argc) caFile = argv[++i];
        } else {
            args.emplace_back(arg);
        }
    }
    if (help || usage || args.size() < 2 || args.size() > 4) {
        std::string kinds;
        for (const DataKind& kind : DataKinds())
            kinds += (kinds.empty() ? "" : "|") + kind.Keyword;
        std::fprintf(help ? stdout : stderr,
                     "usage: %s URL USER [%s] [DATASOURCE] [--fields] [--ca-file FILE]\n"
                     "the password: ORVANTA_PASSWORD, or asked on the terminal\n",
                     argv[0], kinds.c_str());
        return help ? 0 : 2;
    }
    const DataKind* kind = nullptr;
    try {
        kind = &KindNamed(args.size() > 2 ? args[2] : "card");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
    const std::unique_ptr<TSMLBase> client = kind->MakeClient();
    client->SetServerURL(args[0]);
    client->UserName = args[1];
    if (args.size() > 3) client->DataSource = args[3];
    client->SetCAFile(caFile);
    try {
        client->Password = AccountPassword(args[1], args[0]);
        TProgressLine progress;
        client->OnProgress = [&progress](const ExchangeStats& stats) { progress.Show(stats); };
        client->Load("");
        client->OnProgress = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Orvanta: %s\n", e.what());
        return 1;
    }
    for (const auto& item : client->Items) {
        if (!fields) {
            std::printf("%-24s %s\n", item->ID.c_str(), ToUTF8(item->GetTitle()).c_str());
            continue;
        }
        std::printf("%s\n", ItemJson(*kind, *item, item->ID).c_str());
    }
    std::printf("%zu items\n", client->Items.size());
    // The only sign that the list is not the whole data source.
    if (!client->Refused.empty()) {
        std::fflush(stdout);  // after the list, also where both go to one pipe
        std::fprintf(stderr, "Orvanta: %s\n", RefusedReport(client->Refused).c_str());
        return 3;
    }
    return 0;
}
