#pragma once

#include <filesystem>
#include <string>

#include "replica/Replica.h"

namespace orvanta::test {

// A folder of its own under /tmp, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A known device ID and a clock that starts at 2026-01-05 10:00:00 UTC and moves on a
// minute at every reading.
[[nodiscard]] ReplicaOptions FixedReplicaOptions();

// A database made by running the SQL text, as another program (or an older version of
// this one) would have written it.
void WriteDatabase(const std::filesystem::path& file, const std::string& sql);

}  // namespace orvanta::test
