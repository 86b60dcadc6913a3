#include <cstdint>
#include <memory>

#include "fuzz/FakeTransport.h"
#include "kinds/KindTable.h"

namespace orvanta::fuzz {

std::unique_ptr<TSMLBase> MakeClient(std::uint8_t selector) {
    const std::span<const DataKind> kinds = DataKinds();
    std::unique_ptr<TSMLBase> client = kinds[selector % kinds.size()].MakeClient();
    client->SetServerURL("http://127.0.0.1:9000/syncml");
    client->UserName = "orvanta";
    client->Password = "orvanta";
    client->Clock = [] { return 46000.5; };
    auto counter = std::make_shared<std::uint32_t>(0);
    client->Random = [counter](std::uint32_t bound) { return (*counter)++ % bound; };
    return client;
}

}  // namespace orvanta::fuzz
