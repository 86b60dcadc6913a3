// Replays inputs through a fuzz entry point, as ctest does with every input that ever
// failed: each argument is a file or a folder of files. An input fails by crashing, by
// breaking an invariant of its entry point, or by taking longer than the fuzzer allows.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// libFuzzer runs with -timeout=1; a slower machine or build gets some room before an
// input counts as too slow.
constexpr std::chrono::seconds kLimit{3};

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::directory_iterator(arg)) {
                const bool hidden = entry.path().filename().string().front() == '.';
                if (entry.is_regular_file() && !hidden) inputs.push_back(entry.path());
            }
        } else if (fs::exists(arg)) {
            inputs.push_back(arg);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    int slow = 0;
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        const auto took = std::chrono::steady_clock::now() - start;
        if (took > kLimit) {
            std::fprintf(stderr, "too slow: %s took %lld ms\n", path.c_str(),
                         static_cast<long long>(
                             std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
            ++slow;
        }
    }
    std::fprintf(stderr, "%zu inputs replayed, %d too slow\n", inputs.size(), slow);
    return slow == 0 ? 0 : 1;
}
