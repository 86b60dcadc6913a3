// orvanta-load: loads one data store of a SyncML server and lists its items.
//   orvanta-load URL USER PASSWORD [cal|card|task|vnote] [DATASOURCE]
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "engine/Errors.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"

using namespace orvanta;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s URL USER PASSWORD [cal|card|task|vnote] [DATASOURCE]\n",
                     argv[0]);
        return 2;
    }
    const std::string kind = argc > 4 ? argv[4] : "card";
    std::unique_ptr<TSMLBase> client;
    if (kind == "cal")
        client = std::make_unique<TSMLCalendar>();
    else if (kind == "task")
        client = std::make_unique<TSMLTasks>();
    else if (kind == "vnote")
        client = std::make_unique<TSMLNotes>();
    else
        client = std::make_unique<TSMLContacts>();

    client->SetServerURL(argv[1]);
    client->UserName = argv[2];
    client->Password = argv[3];
    if (argc > 5) client->DataSource = argv[5];
    try {
        client->Load("");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Orvanta: %s\n", e.what());
        return 1;
    }
    for (const auto& item : client->Items) {
        std::printf("%-24s %s\n", item->ID.c_str(), ToUTF8(item->GetTitle()).c_str());
    }
    std::printf("%zu items\n", client->Items.size());
    return 0;
}
