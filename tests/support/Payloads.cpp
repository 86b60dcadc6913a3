#include "support/Payloads.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace orvanta::test {

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Joined(const Lines& lines, const char* end) {
    std::string text;
    for (const auto& line : lines)
        text += line + end;
    return text;
}

std::string VCard(const Lines& body, const char* version) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + Joined(body) +
           "END:VCARD\r\n";
}

std::string VEvent(const Lines& body, const char* version) {
    return "BEGIN:VCALENDAR\r\nVERSION:" + std::string(version) + "\r\nBEGIN:VEVENT\r\n" +
           Joined(body) + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

std::string VTodo(const Lines& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\n" + Joined(body) +
           "END:VTODO\r\nEND:VCALENDAR\r\n";
}

std::string VNote(const Lines& body) {
    return "BEGIN:VNOTE\r\nVERSION:1.1\r\n" + Joined(body) + "END:VNOTE\r\n";
}

}  // namespace orvanta::test
