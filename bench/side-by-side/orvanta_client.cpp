// Orvanta's side of bench/side-by-side/run: one load, or one load followed by a store
// of new contacts read from the files of a folder, through an optional HTTP proxy. A
// store prints its own wall time, CPU time and bytes.
//   side_by_side_client load URL USER PASSWORD [PROXYPORT]
//   side_by_side_client store URL USER PASSWORD FOLDER [PROXYPORT]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kinds/ContSyncML.h"

using namespace orvanta;

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool store = mode == "store";
    if ((mode != "load" && !store) || argc < (store ? 6 : 5)) {
        std::fprintf(stderr,
                     "usage: %s load URL USER PASSWORD [PROXYPORT]\n"
                     "       %s store URL USER PASSWORD FOLDER [PROXYPORT]\n",
                     argv[0], argv[0]);
        return 2;
    }
    TSMLContacts client;
    client.SetServerURL(argv[2]);
    client.UserName = argv[3];
    client.Password = argv[4];
    if (const int proxyArg = store ? 6 : 5; argc > proxyArg) {
        client.SetProxyServer("127.0.0.1");
        client.SetProxyPort(std::stoi(argv[proxyArg]));
    }
    try {
        client.Load("");
        if (store) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[5])) {
                std::ifstream in(entry.path(), std::ios::binary);
                const std::string text{std::istreambuf_iterator<char>(in), {}};
                TSMLContact* contact = client.NewItem();
                contact->Parse(text);
                contact->State = ItemState::New;
            }
            // The store alone is measured: the load before it is a session of its own.
            const auto start = std::chrono::steady_clock::now();
            rusage before{}, after{};
            getrusage(RUSAGE_SELF, &before);
            client.Store();
            getrusage(RUSAGE_SELF, &after);
            const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
            std::printf(
                "store wall %.3f cpu %.3f bytes %zu\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                    seconds(before.ru_stime),
                client.LastExchange.BytesSent + client.LastExchange.BytesReceived);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Orvanta: %s\n", e.what());
        return 1;
    }
    std::printf("%zu items\n", client.Items.size());
    return 0;
}
