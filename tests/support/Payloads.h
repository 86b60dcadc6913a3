#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "formats/DateTime.h"

namespace orvanta::test {

using Lines = std::vector<std::string>;

// Central European time with its summer time, the zone the item tests run in.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// A local moment from its parts.
[[nodiscard]] TDateTime At(int year, int month, int day, int hour = 0, int minute = 0,
                           int second = 0);

// The bytes of a file; a file that cannot be read fails the test.
[[nodiscard]] std::string ReadFile(const std::filesystem::path& path);

// The lines as text, each ended with `end`.
[[nodiscard]] std::string Joined(const Lines& lines, const char* end = "\r\n");

// Payloads around the given property lines, each line ended with CR LF.
[[nodiscard]] std::string VCard(const Lines& body, const char* version = "2.1");
[[nodiscard]] std::string VEvent(const Lines& body, const char* version = "2.0");
[[nodiscard]] std::string VTodo(const Lines& body);
[[nodiscard]] std::string VNote(const Lines& body);

}  // namespace orvanta::test
