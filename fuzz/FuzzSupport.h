#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::fuzz {

// Separates the parts of one input: the replies of an exchange, or an item's payload
// from the text its setters write.
inline constexpr std::string_view kSeparator = "\n--next--\n";

[[nodiscard]] inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

[[nodiscard]] inline std::vector<std::string> SplitParts(std::string_view text) {
    std::vector<std::string> parts;
    for (;;) {
        const auto at = text.find(kSeparator);
        parts.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + kSeparator.size());
    }
}

// An invariant the code under test must keep; a broken one is a finding like a crash.
inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace orvanta::fuzz
