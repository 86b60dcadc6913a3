#include "support/ReplicaSupport.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <memory>
#include <stdexcept>

namespace orvanta::test {

TempFolder::TempFolder() {
    char pattern[] = "/tmp/orvanta-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("no temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ReplicaOptions FixedReplicaOptions() {
    ReplicaOptions options;
    auto draws = std::make_shared<std::uint32_t>(0);
    options.Random = [draws](std::uint32_t bound) { return (*draws)++ * 7 % bound; };
    auto minutes = std::make_shared<int>(0);
    options.Clock = [minutes] {
        return EncodeDate(2026, 1, 5) + EncodeTime(10, 0, 0) + (*minutes)++ / kMinutesPerDay;
    };
    options.BusyTimeoutMs = 100;
    return options;
}

void WriteDatabase(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    char* error = nullptr;
    const int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (code != SQLITE_OK) throw std::runtime_error("SQL of " + file.string() + ": " + message);
}

}  // namespace orvanta::test
