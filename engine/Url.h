#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvanta {

// URL texts the exchanges show and compare, kept apart from the HTTP client so that a
// test or fuzz build can replace the client alone.

// A URL as failure messages show it: without user name and password, and shortened
// to about `limit` characters when longer.
[[nodiscard]] std::string DisplayURL(std::string_view url, std::size_t limit = 80);
// The URL without the user information of its authority ("user:password@").
[[nodiscard]] std::string WithoutUserInfo(std::string_view url);
// The scheme of a URL in lower case ("https"); empty when it has none.
[[nodiscard]] std::string SchemeOf(std::string_view url);
// The host and port of a URL in lower case, without user information.
[[nodiscard]] std::string AuthorityOf(std::string_view url);

}  // namespace orvanta
