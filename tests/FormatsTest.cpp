#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"
#include "formats/TimeZoneRule.h"
#include "support/LoadHarness.h"
#include "support/Payloads.h"
#include "support/Scaling.h"

namespace orvanta {
namespace {

using namespace std::string_literals;
using test::At;
using test::FailureOf;
using test::kCentralEurope;
using test::Lines;

// A bare item over a given payload, for the line operations of the base.
class PlainItem : public TSMLItem {
public:
    explicit PlainItem(const std::vector<std::string>& lines, int startLine = 0) {
        Lines = ItemLines(lines);
        StartLine = startLine;
    }
    WideString GetTitle() const override { return {}; }
    void SetTitle(const WideString&) override {}
};

// Bytes that are not well-formed UTF-8 read as Latin-1, the whole value alike.
TEST(TextCodec, UTF8OrLatin1) {
    const std::tuple<std::string, WideString, bool> cases[] = {
        {"a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80z", u"a\u00FC\u20AC\U0001F600z", true},
        {"ABCDEFGHIJKLMNOP\xC3\xBC", u"ABCDEFGHIJKLMNOP\u00FC", true},
        {"M\xFCller", u"M\u00FCller", false},
        {"\xC3", u"\u00C3", false},                                  // no continuation
        {"\xC0\xAF", u"\u00C0\u00AF", false},                        // overlong
        {"\xED\xA0\x80", u"\u00ED\u00A0\u0080", false},              // encoded surrogate
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080", false},    // above U+10FFFF
        {"ABCDEFGHIJKLMNOP\xFC", u"ABCDEFGHIJKLMNOP\u00FC", false},  // after whole ASCII words
        {"ABCDEFG\xC3\xBC\xC3", u"ABCDEFG\u00C3\u00BC\u00C3", false},
    };
    for (const auto& [bytes, text, wellFormed] : cases) {
        EXPECT_EQ(IsWellFormedUTF8(bytes), wellFormed) << bytes;
        EXPECT_EQ(FromUTF8(bytes), text) << bytes;
        if (wellFormed) {
            EXPECT_EQ(ToUTF8(text), bytes);
        }
    }
    // Unpaired surrogates are written as U+FFFD.
    EXPECT_EQ(ToUTF8(u"a\xD800z\xDC00"), "a\xEF\xBF\xBDz\xEF\xBF\xBD");
}

// Quoted-printable both ways; some texts are only written, some only read.
TEST(TextCodec, QuotedPrintable) {
    enum Way { Both, Write, Read };
    const std::tuple<std::string, std::string, Way> cases[] = {
        {"a b", "a=20b", Both},
        {"", "", Both},
        {"x=y", "x=3Dy", Both},
        {"\xC3\xBC", "=C3=BC", Both},
        {"\x7F\x01", "=7F=01", Both},
        {"one\ntwo", "one=0Atwo", Both},
        {"a\tb\t", "a\tb=09", Both},
        // A full stop opening a segment of 70 characters is escaped.
        {".dot", "=2Edot", Both},
        {"a.b", "a.b", Both},
        {"line\n.next", "line=0A=2Enext", Both},
        {std::string(70, 'x') + ".", std::string(70, 'x') + "=2E", Both},
        {std::string(69, 'x') + ".", std::string(69, 'x') + ".", Both},
        {"one\rtwo\r\nthree\r\n", "one=0Atwo=0Athree=0A", Write},
        {"\xC3\xBC", "=c3=BC", Read},
        {"softbreak", "soft=\r\nbre=\nak", Read},
        {"tail", "tail  ", Read},
        {"x", "x=", Read},
        {"a=zz", "a=zz", Read},
    };
    for (const auto& [value, encoded, way] : cases) {
        if (way != Read) {
            EXPECT_EQ(EncodeQP(value), encoded) << value;
        }
        if (way != Write) {
            EXPECT_EQ(DecodeQP(encoded), value) << encoded;
        }
    }
}

TEST(TextCodec, Base64) {
    const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                         {":", "Og=="},
                                                         {"ab", "YWI="},
                                                         {"user:pass", "dXNlcjpwYXNz"},
                                                         {"\xFF\xFE\xFD\xFC", "//79/A=="}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(EncodeBase64(in), out);
}

// Work on a line grows with the line, ten times the input taking about ten times the
// time: however often it repeats a parameter (each cut once copied the rest of the line:
// 105 ms for 560 KB), however long a value folded at 75 bytes (as servers send photos)
// or soft-broken as quoted-printable.
TEST(PropertyLines, WorkScalesWithTheLine) {
    const auto params = [](std::size_t repeats) {
        std::string text = "NOTE";
        for (std::size_t i = 0; i < repeats; ++i)
            text += ";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8;X";
        return text + ":v";
    };
    const std::string small = params(500), large = params(5000);
    ASSERT_EQ(GetPropertyParamText(small).size(), 999u);  // "X;X;...;X"
    EXPECT_LT(test::TimeRatio([&] { (void)GetPropertyParamText(small); },
                              [&] { (void)GetPropertyParamText(large); }),
              30.0);

    for (const bool softBreaks : {false, true}) {
        SCOPED_TRACE(softBreaks ? "soft line breaks" : "folded");
        const auto unfolded = [softBreaks](std::size_t parts) {
            Lines lines{softBreaks ? "NOTE;ENCODING=QUOTED-PRINTABLE:" : "PHOTO:"};
            for (std::size_t i = 0; i < parts; ++i) {
                lines.back() += std::string(72, 'A') + (softBreaks ? "=" : "");
                lines.push_back(softBreaks ? "" : " ");
            }
            lines.back() += "end";
            lines.push_back("TEL:1");
            ItemLines joined(lines);
            UnfoldLines(joined);
            return joined;
        };
        ASSERT_EQ(unfolded(200).size(), 2u);
        EXPECT_LT(test::TimeRatio([&] { (void)unfolded(200); }, [&] { (void)unfolded(2000); }),
                  30.0);
    }
}

// The name, the parameters (without the encoding and character set the writers add) and
// the decoded value of a line.
TEST(PropertyLines, NamesParamsAndValues) {
    const std::tuple<std::string, std::string, std::string, WideString> cases[] = {
        {"tel;WORK;VOICE;ENCODING=QUOTED-PRINTABLE:1", "TEL", "WORK;VOICE", u"1"},
        {"EMAIL;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:x", "EMAIL", "", u"x"},
        {"no colon here", "", "", u"no colon here"},
        {"X;no colon here", "", "", u"X;no colon here"},
        {"NOTE:a;b", "NOTE", "", u"a;b"},
        // A cut that leaves text glued to the name: that text is no parameter.
        {"NOTE;CHARSET=UTF-8ABC;TYPE=1:x", "NOTE", "TYPE=1", u"x"},
        {"NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8;X;CHARSET=UTF-8;X:v", "NOTE", "X;X", u"v"},
        {"NOTE;ENCODING=QUOTED-PRINTABLE;:one=0D=0Atwo", "NOTE", "", u"one\r\ntwo"},
        {"FN;ENCODING=QUOTED-PRINTABLE:J=FCrgen", "FN", "", u"J\u00FCrgen"},
        {"X-EMOJI:\xF0\x9F\x8E\x89", "X-EMOJI", "", u"\U0001F389"},
        // Only the head says how a value is encoded, in any letter case.
        {"NOTE:see QUOTED-PRINTABLE a=3Db", "NOTE", "", u"see QUOTED-PRINTABLE a=3Db"},
        {"NOTE;encoding=quoted-printable:a=3Db", "NOTE", "encoding=quoted-printable", u"a=b"},
    };
    for (const auto& [line, name, params, value] : cases) {
        EXPECT_EQ(GetPropertyName(line), name) << line;
        EXPECT_TRUE(PropertyNameIs(line, name)) << line;
        EXPECT_EQ(GetPropertyParamText(line), params) << line;
        EXPECT_EQ(GetPropertyValue(line), value) << line;
    }
    EXPECT_FALSE(PropertyNameIs("TELX:1", "TEL"));
    EXPECT_FALSE(PropertyNameIs("TEL;no colon", "TEL"));
    EXPECT_EQ(GetPropertyValue("NOTE:a\\nb\\,c", -1, true), u"a\nb,c");
    EXPECT_EQ(GetDateTimeValue("DTSTART:"), 0);
}

// The fields of a structured value are cut before decoding: an encoded ";" stays inside
// its field, and an escape that decoding reveals is still one.
TEST(PropertyLines, Fields) {
    const std::pair<std::string, std::vector<WideString>> cases[] = {
        {"N:A;B C;;;", {u"A", u"B C", u"", u"", u""}},
        {"N:one", {u"one"}},
        {"ADR;ENCODING=QUOTED-PRINTABLE:;;a=3Bb;c\\;d;", {u"", u"", u"a;b", u"c;d", u""}},
        {"N;ENCODING=QUOTED-PRINTABLE:x=5C=3By;z", {u"x;y", u"z"}},
        {"N:a\\\\;b", {u"a\\", u"b"}},
    };
    for (const auto& [line, fields] : cases) {
        std::vector<WideString> read(8, u"unread");
        std::array<WideString*, 8> into;
        for (std::size_t k = 0; k < read.size(); ++k)
            into[k] = &read[k];
        ReadPropertyValues(line, false, into);
        std::vector<WideString> expected = fields;
        expected.resize(read.size(), u"unread");  // texts beyond the fields stay as they are
        EXPECT_EQ(read, expected) << line;
    }
    EXPECT_EQ(GetPropertyValue("N:A;B C;;;", 1), u"B C");
    EXPECT_EQ(GetPropertyValue("N:A;B C;;;", 9), u"");
}

// FindProperty looks at the item's own block only, and selects by parameters: none
// given, any line; {""}, a line without parameters; else a line with all of them.
TEST(PropertyLines, FindProperty) {
    const Lines event = {"BEGIN:VCALENDAR",   "BEGIN:VEVENT", "BEGIN:VALARM",
                         "DESCRIPTION:alarm", "END:VALARM",   "DESCRIPTION:event",
                         "END:VEVENT",        "END:VCALENDAR"};
    const std::tuple<Lines, std::string, ParamList, int> cases[] = {
        {event, "DESCRIPTION", {}, 5},
        {event, "BEGIN", {}, -1},
        {event, "END", {}, -1},
        {{"BEGIN:VCARD", "VERSION:2.1", "TEL:1"}, "TEL", {}, 2},
        {{"BEGIN:VCARD"}, "TEL", {}, -1},
        {{"X", "EMAIL:x"}, "EMAIL", {""}, 1},
        {{"X", "EMAIL;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:x"}, "EMAIL", {""}, 1},
        {{"X", "EMAIL;INTERNET:x"}, "EMAIL", {""}, -1},
        {{"X", "EMAIL;INTERNET:x"}, "EMAIL", {}, 1},
        {{"X", "TEL;FAX;WORK:1"}, "TEL", {"WORK", "FAX"}, 1},
        {{"X", "TEL;WORK;FAX;VOICE:1"}, "TEL", {"WORK", "FAX"}, 1},
        {{"X", "TEL;WORK:1"}, "TEL", {"WORK", "FAX"}, -1},
        {{"X", "TEL;work;fax:1"}, "TEL", {"WORK", "FAX"}, -1},
    };
    for (const auto& [lines, name, params, found] : cases) {
        const PlainItem item(lines, lines == event ? 1 : 0);
        EXPECT_EQ(item.FindProperty(name, params), found) << lines.back() << " " << name;
    }
}

TEST(PropertyLines, SetPropertyReplacesOrInsertsAfterTheStartLine) {
    PlainItem item(
        {"BEGIN:VCARD", "VERSION:2.1", "TEL;HOME:123", "X-UNKNOWN;A=b:keep me", "END:VCARD"}, 1);
    item.State = ItemState::Unchanged;
    item.SetProperty("TEL", {""}, u"555");
    EXPECT_EQ(item.State, ItemState::Modified);
    item.SetProperty("TEL", {"WORK", "FAX"}, u"777");
    item.SetProperty("TEL", {"HOME"}, u"124");
    item.SetProperty("DTSTART", {}, u"20240115", "DTSTART;VALUE=DATE");
    item.SetProperty("DTSTART", {}, u"20240116T080000Z");
    item.SetProperty("NOTE", {}, u"");
    item.SetPropertyQP("SUMMARY", {}, u"a b\r\n\u00FC \U0001F600");
    EXPECT_EQ(
        item.Lines,
        (Lines{"BEGIN:VCARD", "VERSION:2.1",
               "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=20b=0A=C3=BC=20=F0=9F=98=80",
               "NOTE:", "DTSTART:20240116T080000Z", "TEL;WORK;FAX:777", "TEL:555", "TEL;HOME:124",
               "X-UNKNOWN;A=b:keep me", "END:VCARD"}));
    EXPECT_EQ(GetPropertyValue(item.Lines[2]), u"a b\n\u00FC \U0001F600");
    // A change marks an unchanged item modified; new and deleted ones stay as they are.
    for (const ItemState state : {ItemState::New, ItemState::Modified, ItemState::Deleted}) {
        item.State = state;
        item.SetPropertyQP("BODY", {}, u"x");
        EXPECT_EQ(item.State, state);
    }
}

TEST(PayloadLines, CuttingAndJoining) {
    const std::pair<std::string, Lines> cases[] = {
        {"A\r\nB\r\n", {"A", "B"}},
        {"A\nB", {"A", "B"}},
        {"A\rB\r", {"A", "B"}},
        {"A\r\n\r\nB", {"A", "", "B"}},
        {"", {}},
        {"A\r\nB\0C\r\nD"s, {"A", "B\0C"s, "D"}},  // a NUL is carried, not an end
        {"A\n\rB", {"A", "", "B"}},
        {"A\r\rB\nC", {"A", "", "B", "C"}},
        {"\r\n", {""}},
        {"A", {"A"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(SplitPayloadLines(text), lines) << text;
    EXPECT_EQ(PlainItem({"A", "", "B"}).GetText(), "A\r\n\r\nB\r\n");
}

// The edits of an item's lines keep every other line as it was: each step is done to the
// lines and to a plain list alike, and the two must agree after it.
TEST(PayloadLines, EditsKeepTheOtherLines) {
    ItemLines lines{"BEGIN:VCARD", "N:A;B", "END:VCARD"};
    Lines model{"BEGIN:VCARD", "N:A;B", "END:VCARD"};
    const std::string_view block[] = {"X-A:1", "", "X-B:22"};
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"longer", [&] { lines.Replace(1, "N:Longer;Name"), model[1] = "N:Longer;Name"; }},
        {"shorter", [&] { lines.Replace(1, "N:"), model[1] = "N:"; }},
        {"emptied last", [&] { lines.Replace(2, ""), model[2] = ""; }},
        {"from itself", [&] { lines.Replace(2, lines[0].substr(6)), model[2] = "VCARD"; }},
        {"first", [&] { lines.Insert(0, "TOP:1"), model.insert(model.begin(), "TOP:1"); }},
        {"after last", [&] { lines.Insert(4, "END:X"), model.push_back("END:X"); }},
        {"block",
         [&] {
             lines.Insert(2, block), model.insert(model.begin() + 2, {"X-A:1", "", "X-B:22"});
         }},
        {"erase middle",
         [&] { lines.Erase(3, 5), model.erase(model.begin() + 3, model.begin() + 5); }},
        {"erase none", [&] { lines.Erase(1, 1); }},
        {"appended", [&] { lines.push_back("Z:9"), model.push_back("Z:9"); }},
        {"erase all", [&] { lines.Erase(0, lines.size()), model.clear(); }},
        {"into empty", [&] { lines.Insert(0, "A:1"), model.push_back("A:1"); }},
    };
    for (const auto& [what, step] : steps) {
        step();
        EXPECT_EQ(lines, model) << what;
    }
}

// Folded lines join; a line ending in "=" takes the next only when its value is
// quoted-printable (a soft line break), never after Base64 padding or plain text.
TEST(PayloadLines, Unfolding) {
    const std::pair<Lines, Lines> cases[] = {
        {{"DESCRIPTION:one", " two", " three", "X:y"}, {"DESCRIPTION:onetwothree", "X:y"}},
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:a=", "b=", "c", "X:y"},
         {"NOTE;ENCODING=QUOTED-PRINTABLE:abc", "X:y"}},
        // vCard 2.1's bare parameter, and parameters in lower case.
        {{"NOTE;QUOTED-PRINTABLE:a=", "b"}, {"NOTE;QUOTED-PRINTABLE:ab"}},
        {{"note;encoding=quoted-printable:a=", "b"}, {"note;encoding=quoted-printable:ab"}},
        // The head itself folded before the colon.
        {{"NOTE;ENCODING=QUOTED-", " PRINTABLE:a=", "b"}, {"NOTE;ENCODING=QUOTED-PRINTABLE:ab"}},
        // A continuation after a soft break, and a soft break after a continuation.
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:a", " b=", "c"}, {"NOTE;ENCODING=QUOTED-PRINTABLE:abc"}},
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:a=", "", "X:y"},
         {"NOTE;ENCODING=QUOTED-PRINTABLE:a", "X:y"}},
        // Not quoted-printable: the "=" stays and the next property survives.
        {{"NOTE:a=", "TEL:123"}, {"NOTE:a=", "TEL:123"}},
        {{"PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ", " SkZJRgA=", "GEO:52.5;13.4"},
         {"PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQSkZJRgA=", "GEO:52.5;13.4"}},
        {{"X-VALUE=QUOTED-PRINTABLE", "Y:z"}, {"X-VALUE=QUOTED-PRINTABLE", "Y:z"}},
        {{"SUMMARY:QUOTED-PRINTABLE=", "Y:z"}, {"SUMMARY:QUOTED-PRINTABLE=", "Y:z"}},
        // Line 0 is never a continuation, and an empty line is not one either.
        {{" lead", "", " x"}, {" lead", "x"}},
        // A tab folds as a blank does.
        {{"SUMMARY:a", "\tb", "\t c"}, {"SUMMARY:ab c"}},
        // An empty line continued would begin with a blank, and written back it would
        // continue the line before it: it stays as it is.
        {{"SUMMARY:a", "", "  b", " c"}, {"SUMMARY:a", "", "  bc"}},
        {{"SUMMARY:a", "", " \tb"}, {"SUMMARY:a", "", " \tb"}},
        {{}, {}},
    };
    for (const auto& [in, out] : cases) {
        ItemLines lines(in);
        UnfoldLines(lines);
        EXPECT_EQ(lines, out) << ::testing::PrintToString(in);
        // Written back and read again, the lines stay as they are.
        std::string written;
        for (const std::string_view line : lines)
            (written += line) += "\r\n";
        ItemLines again = SplitPayloadLines(written);
        UnfoldLines(again);
        EXPECT_EQ(again, lines) << ::testing::PrintToString(in);
    }
}

constexpr double kMinute = 1.0 / 1440.0;
constexpr double kTolerance = 1e-9;
constexpr const char* kNewYorkRule = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kSydneyRule = "AEST-10AEDT,M10.1.0,M4.1.0/3";

TEST(DateTimeWriters, Durations) {
    const std::pair<double, const char*> cases[] = {
        {-15 * kMinute, "-PT15M"},
        {1, "P1D"},
        {7, "P1W"},
        {8, "P1W1D"},
        {90 * kMinute, "PT1H30M"},
        {0, "P"},
        {-1, "-P1D"},
        {364, "P52W"},
        {1.5 / 24 / 60, "PT1M30S"},
        {2 + 3.0 / 24, "P2DT3H"},
        {-(15 * kMinute - 1e-10), "-PT15M"},
    };
    for (const auto& [days, text] : cases)
        EXPECT_EQ(DurationToText(days), text) << days;
}

// Moments are written in UTC and read back as the same local time. The moments of
// timed items always carry their time of day; DateTimeToText writes a bare date for a
// moment at midnight both locally and in UTC, and a duration under 365 days.
TEST(DateTimeWriters, MomentsInUTC) {
    const std::tuple<const char*, TDateTime, const char*, const char*> cases[] = {
        {"UTC0", At(1998, 1, 20), "19980120T000000Z", "19980120"},
        {"UTC0", At(2024, 1, 15, 8, 30), "20240115T083000Z", "20240115T083000Z"},
        // Within the last millisecond of a day: a timed value, rounded to midnight.
        {"UTC0", 45306.9999999999, "20240116T000000Z", "20240116T000000Z"},
        {kCentralEurope, At(1998, 1, 20, 1), "19980120T000000Z", "19980120T000000Z"},
        {kCentralEurope, At(2024, 1, 15), "20240114T230000Z", "20240114T230000Z"},
        {kCentralEurope, At(2026, 7, 15, 2), "20260715T000000Z", "20260715T000000Z"},
        {kCentralEurope, At(2026, 7, 15, 10, 30), "20260715T083000Z", "20260715T083000Z"},
        {kNewYorkRule, At(2026, 1, 14, 19), "20260115T000000Z", "20260115T000000Z"},
    };
    for (const auto& [rule, local, moment, text] : cases) {
        SCOPED_TRACE(moment);
        ScopedTimeZone zone(rule);
        EXPECT_EQ(MomentToText(local), moment);
        EXPECT_EQ(DateTimeToText(local), text);
        EXPECT_NEAR(TextToDateTime(moment), local, kTolerance);
    }
    EXPECT_EQ(DateTimeToText(300), "P42W6D");
    EXPECT_EQ(DateToText(0), "18991230");
    EXPECT_EQ(DateToText(At(2024, 1, 15, 23, 59, 59)), "20240115");
    EXPECT_EQ(DateToText(At(1, 1, 1)), "00010101");
}

// Floating times, dates and durations; UTC is read as local time.
TEST(DateTimeReaders, MomentsDatesAndDurations) {
    ScopedTimeZone zone(kCentralEurope);
    const std::pair<const char*, TDateTime> cases[] = {
        {"20240115T083000Z", At(2024, 1, 15, 9, 30)},
        {"2024-01-15", At(2024, 1, 15)},
        {"2024-01-15T08:30:00Z", At(2024, 1, 15, 9, 30)},
        {"083000000000", EncodeTime(8, 30, 0)},
        {"", 0},
        {"12345", 0},  // a time text shorter than six characters
        {"-P15M", -15 * kMinute},
        {"-P0DT0H15M0S", -15 * kMinute},
        {"P1Y", 0},
        {"PT1.5H", 5.0 / 24},
        {"P2D12", 2},
        {"PT30S", 30.0 / 86400},
    };
    for (const auto& [text, value] : cases)
        EXPECT_NEAR(TextToDateTime(text), value, kTolerance) << text;
    for (const char* text : {"19700131", "1970-01-31", "1970-01-31T00:00:00Z"})
        EXPECT_EQ(ParseDateText(text), EncodeDate(1970, 1, 31)) << text;
    EXPECT_EQ(ParseDateText(" \t"), 0);
}

// The message names the first part that is wrong, in reading order: year, month, day,
// then the time.
TEST(DateTimeReaders, FailuresCarryTheUsersMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"20241315", "Invalid argument to date encode"},
        {"20230230", "Invalid argument to date encode"},
        {"20240115T250000", "Invalid argument to time encode"},
        {"20240115T086000", "Invalid argument to time encode"},
        {"PTH", "'' is not a valid integer value"},
        {"2024-01-", "'' is not a valid integer value"},
        {"ABCDEFGH", "'ABCD' is not a valid integer value"},
        {"2024XXYY", "'XX' is not a valid integer value"},
        {"2024XX15TAB0000", "'XX' is not a valid integer value"},
        {"20240115TABCD00", "'AB' is not a valid integer value"},
        {"20240115T08CDEF", "'CD' is not a valid integer value"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(FailureOf<ConversionError>([&] { (void)TextToDateTime(text); }), message) << text;
    }
    EXPECT_THROW((void)ParseDateText("1970-1"), ConversionError);
}

TEST(TimeZone, TransitionsAtTheirLocalTimes) {
    ScopedTimeZone zone(kCentralEurope);
    // 2024: summer time from 31 March 02:00 to 27 October 03:00.
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 1, 59)), 60);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 2, 0)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 2, 59)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 3, 0)), 60);
    // The fifth weekday of a month is its last (October 2024 and February 2026 have four
    // Sundays), at a time with minutes; a transition at midnight of the second Tuesday.
    ScopedTimeZone tuesday("XST3XDT,M2.5.0/2:30,M10.2.2/0");
    EXPECT_EQ(LocalOffsetMinutes(At(2026, 2, 22, 2, 29)), -180);
    EXPECT_EQ(LocalOffsetMinutes(At(2026, 2, 22, 2, 30)), -120);
    EXPECT_EQ(LocalOffsetMinutes(At(2026, 10, 12, 23, 59)), -120);
    EXPECT_EQ(LocalOffsetMinutes(At(2026, 10, 13)), -180);

    ScopedTimeZone sydney(kSydneyRule);
    const TDateTime local = At(2024, 12, 24, 18, 45);
    EXPECT_NEAR(LocalToUTC(local), At(2024, 12, 24, 7, 45), kTolerance);
    EXPECT_NEAR(UTCToLocal(LocalToUTC(local)), local, kTolerance);
}

// The client's zone: the TZ variable holding a rule, a zone name or a zone file's path
// (outside the zone folder too); an unknown name is UTC.
TEST(TimeZone, OffsetsByTheTZVariable) {
    const char* tz = std::getenv("TZ");
    const std::optional<std::string> saved = tz ? std::optional<std::string>(tz) : std::nullopt;
    const std::string copy = ::testing::TempDir() + "orvanta-zone-copy";
    std::filesystem::copy_file("/usr/share/zoneinfo/Australia/Sydney", copy,
                               std::filesystem::copy_options::overwrite_existing);
    const std::string copied = ":" + copy;
    const std::tuple<const char*, int, int> cases[] = {
        {copied.c_str(), 660, 600},
        {"UTC0", 0, 0},
        {"JST-9", 540, 540},
        {kCentralEurope, 60, 120},
        {kNewYorkRule, -300, -240},
        {kSydneyRule, 660, 600},
        {"<+0330>-3:30", 210, 210},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", 780, 720},
        {"America/New_York", -300, -240},
        {"Nowhere/Atlantis", 0, 0},
        {":Europe/Berlin", 60, 120},
    };
    for (const auto& [value, january, july] : cases) {
        setenv("TZ", value, 1);
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), january) << value;
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), july) << value;
    }
    saved ? setenv("TZ", saved->c_str(), 1) : unsetenv("TZ");
    for (const char* text :
         {"", "UTC", "America/New_York", "CET-1CEST,J60,J300", "X1", "CET-1CEST,M13.1.0,M10.5.0"})
        EXPECT_EQ(PosixTimeZone(text), nullptr) << text;
}

TEST(VTimeZone, TzidParameter) {
    for (const auto& [line, tzid] :
         {std::pair{"DTSTART;TZID=Europe/Vienna:20260715T100000", "Europe/Vienna"},
          {"DTSTART;VALUE=DATE-TIME;tzid=\"Eastern; US\":20260715T100000", "Eastern; US"},
          {"DTSTART:20260715T100000", ""},
          {"DTSTART;X-TZID=a:20260715T100000", ""}})
        EXPECT_EQ(TzidOf(line), tzid) << line;
}

// A local moment as ISO 8601 with the UTC offset in force there, as orvanta-load
// prints it.
std::string IsoMoment(TDateTime local) {
    const DateTimeParts p = DecodeDateTime(local);
    const int offset = LocalOffsetMinutes(local), magnitude = std::abs(offset);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", p.Year, p.Month,
                  p.Day, p.Hour, p.Minute, p.Second, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

// Each file of data/zones is a payload of time-zone blocks and date lines; after each
// date line, X-EXPECT holds what the client reads: the local time and its offset in
// the client's zone that the last X-CLIENT-ZONE line named.
TEST(PayloadZones, EveryValueIsTheTrueMoment) {
    for (const auto& file :
         std::filesystem::directory_iterator(std::filesystem::path(ORVANTA_TEST_DATA) / "zones")) {
        ItemLines lines = SplitPayloadLines(test::ReadFile(file.path()));
        UnfoldLines(lines);
        PayloadZones zones(lines);
        std::optional<ScopedTimeZone> client;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            const std::string_view value = line.substr(line.find(':') + 1);
            if (GetPropertyName(line) == "X-CLIENT-ZONE") {
                client.reset();
                client.emplace(value);
            } else if (GetPropertyName(line) == "X-EXPECT") {
                EXPECT_EQ(IsoMoment(zones.Read(lines[i - 1])), value)
                    << file.path().filename() << ": " << lines[i - 1];
            }
        }
    }
}

}  // namespace
}  // namespace orvanta
