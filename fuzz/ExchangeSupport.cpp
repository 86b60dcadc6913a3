#include <cstdint>
#include <memory>

#include "fuzz/FakeTransport.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"

namespace orvanta::fuzz {

std::unique_ptr<TSMLBase> MakeClient(std::uint8_t selector) {
    std::unique_ptr<TSMLBase> client;
    switch (selector % 4) {
        case 0:
            client = std::make_unique<TSMLCalendar>();
            break;
        case 1:
            client = std::make_unique<TSMLContacts>();
            break;
        case 2:
            client = std::make_unique<TSMLTasks>();
            break;
        default:
            client = std::make_unique<TSMLNotes>();
            break;
    }
    client->SetServerURL("http://127.0.0.1:9000/syncml");
    client->UserName = "orvanta";
    client->Password = "orvanta";
    client->Clock = [] { return 46000.5; };
    auto counter = std::make_shared<std::uint32_t>(0);
    client->Random = [counter](std::uint32_t bound) { return (*counter)++ % bound; };
    return client;
}

}  // namespace orvanta::fuzz
