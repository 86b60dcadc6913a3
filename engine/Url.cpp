#include "engine/Url.h"

#include <algorithm>
#include <utility>

namespace orvanta {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where the authority of a URL begins and ends; a URL without "://" has it first.
std::pair<std::size_t, std::size_t> AuthorityRange(std::string_view url) {
    const auto scheme = url.find("://");
    const std::size_t begin = scheme == std::string_view::npos ? 0 : scheme + 3;
    std::size_t end = url.find_first_of("/?#", begin);
    if (end == std::string_view::npos) end = url.size();
    return {begin, end};
}

}  // namespace

std::string WithoutUserInfo(std::string_view url) {
    const auto [begin, end] = AuthorityRange(url);
    const auto at = url.substr(begin, end - begin).rfind('@');
    if (at == std::string_view::npos) return std::string(url);
    return std::string(url.substr(0, begin)) + std::string(url.substr(begin + at + 1));
}

std::string DisplayURL(std::string_view url, std::size_t limit) {
    std::string shown = WithoutUserInfo(url);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    }
    if (shown.size() <= limit) return shown;
    std::size_t cut = limit > 3 ? limit - 3 : 0;
    // Never in the middle of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
        --cut;
    shown.resize(cut);
    return shown + "...";
}

std::string SchemeOf(std::string_view url) {
    const auto colon = url.find("://");
    if (colon == std::string_view::npos) return {};
    std::string scheme(url.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), Lower);
    return scheme;
}

std::string AuthorityOf(std::string_view url) {
    const auto [begin, end] = AuthorityRange(url);
    std::string_view authority = url.substr(begin, end - begin);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string lowered(authority);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

}  // namespace orvanta
