#include <gtest/gtest.h>

#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"
#include "support/Scaling.h"

namespace orvanta {
namespace {

using namespace std::string_literals;

// A bare item over a given payload, for the line operations of the base.
class PlainItem : public TSMLItem {
public:
    explicit PlainItem(std::vector<std::string> lines, int startLine = 0) {
        Lines = std::move(lines);
        StartLine = startLine;
    }
    WideString GetTitle() const override { return {}; }
    void SetTitle(const WideString&) override {}
};

TEST(TextCodec, UTF8RoundTripsEveryPlane) {
    const std::string text = "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a ü € 😀 z
    const WideString wide = FromUTF8(text);
    EXPECT_EQ(wide, WideString(u"a\u00FC\u20AC\U0001F600z"));
    EXPECT_EQ(wide.size(), 6u);  // the emoji is one surrogate pair
    EXPECT_EQ(ToUTF8(wide), text);
    EXPECT_TRUE(IsWellFormedUTF8("ABCDEFGHIJKLMNOP" + text));
}

TEST(TextCodec, IllFormedUTF8ReadsAsLatin1) {
    const struct {
        std::string bytes;
        WideString text;
    } cases[] = {
        {"M\xFCller", u"M\u00FCller"},                        // Latin-1 ü
        {"\xC3", u"\u00C3"},                                  // lead byte without continuation
        {"\xC0\xAF", u"\u00C0\u00AF"},                        // overlong
        {"\xED\xA0\x80", u"\u00ED\u00A0\u0080"},              // encoded surrogate
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},    // above U+10FFFF
        {"ABCDEFGHIJKLMNOP\xFC", u"ABCDEFGHIJKLMNOP\u00FC"},  // after whole ASCII words
        {"ABCDEFG\xC3\xBC\xC3", u"ABCDEFG\u00C3\u00BC\u00C3"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(IsWellFormedUTF8(c.bytes));
        EXPECT_EQ(FromUTF8(c.bytes), c.text);
    }
    // Written back, the Latin-1 value becomes UTF-8.
    EXPECT_EQ(ToUTF8(FromUTF8("M\xFCller")), "M\xC3\xBCller");
}

TEST(TextCodec, UnpairedSurrogateBecomesReplacementCharacter) {
    EXPECT_EQ(ToUTF8(u"a\xD800"
                     "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ToUTF8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(TextCodec, QuotedPrintableWriter) {
    const struct {
        std::string value;
        std::string encoded;
    } cases[] = {
        {"a b", "a=20b"},
        {"", ""},
        {"x=y", "x=3Dy"},
        {"\xC3\xBC", "=C3=BC"},
        {"one\r\ntwo", "one=0Atwo"},
        {"one\rtwo\nthree", "one=0Atwo=0Athree"},
        {"end\r\n", "end=0A"},
        {"a\tb\t", "a\tb=09"},
        {".dot", "=2Edot"},
        {"a.b", "a.b"},
        {"line\n.next", "line=0A=2Enext"},
        // 70 characters written start a new segment, whose leading full stop is escaped.
        {std::string(70, 'x') + ".", std::string(70, 'x') + "=2E"},
        {std::string(69, 'x') + ".", std::string(69, 'x') + "."},
        {"\x7F\x01", "=7F=01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeQP(c.value), c.encoded) << c.value;
    }
}

TEST(TextCodec, QuotedPrintableReader) {
    const struct {
        std::string encoded;
        std::string value;
    } cases[] = {
        {"a=20b", "a b"},
        {"=c3=BC", "\xC3\xBC"},
        {"soft=\r\nbreak", "softbreak"},
        {"soft=\nbreak", "softbreak"},
        {"tail  ", "tail"},
        {"x=", "x"},
        {"a=zz", "a=zz"},
        {"one=0Atwo", "one\ntwo"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeQP(c.encoded), c.value) << c.encoded;
    }
}

TEST(TextCodec, Base64) {
    const struct {
        std::string in, out;
    } cases[] = {{"", ""},
                 {":", "Og=="},
                 {"ab", "YWI="},
                 {"abc", "YWJj"},
                 {"user:pass", "dXNlcjpwYXNz"},
                 {"\xFF\xFE\xFD\xFC", "//79/A=="}};
    for (const auto& c : cases)
        EXPECT_EQ(EncodeBase64(c.in), c.out);
}

// However often a line repeats a parameter, cutting its parameters takes time in
// proportion to the line (each cut once copied the rest of the line: 105 ms for 560 KB).
TEST(PropertyLines, ParameterCuttingScalesWithTheLine) {
    const auto line = [](std::size_t repeats) {
        std::string text = "NOTE";
        for (std::size_t i = 0; i < repeats; ++i)
            text += ";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8;X";
        return text + ":v";
    };
    const std::string small = line(500), large = line(5000);
    std::string expected = "X";
    for (int i = 1; i < 500; ++i)
        expected += ";X";
    ASSERT_EQ(GetPropertyParamText(small), expected);
    EXPECT_LT(test::TimeRatio([&] { (void)GetPropertyParamText(small); },
                              [&] { (void)GetPropertyParamText(large); }),
              30.0);
}

// A long value folded at 75 bytes (as servers send photos) and one soft-broken
// quoted-printable value are joined in one pass: ten times the lines, about ten times
// the time.
TEST(PropertyLines, UnfoldingScalesWithTheValue) {
    const auto folded = [](std::size_t parts, bool softBreaks) {
        std::vector<std::string> lines{softBreaks ? "NOTE;ENCODING=QUOTED-PRINTABLE:" : "PHOTO:"};
        for (std::size_t i = 0; i < parts; ++i) {
            lines.back() += std::string(72, 'A') + (softBreaks ? "=" : "");
            lines.push_back(softBreaks ? "" : " ");
        }
        lines.back() += "end";
        lines.push_back("TEL:1");
        return lines;
    };
    for (const bool softBreaks : {false, true}) {
        SCOPED_TRACE(softBreaks ? "soft line breaks" : "folded");
        std::vector<std::string> joined = folded(200, softBreaks);
        UnfoldLines(joined);
        ASSERT_EQ(joined.size(), 2u);
        EXPECT_EQ(joined[1], "TEL:1");
        EXPECT_LT(test::TimeRatio(
                      [&] {
                          auto lines = folded(200, softBreaks);
                          UnfoldLines(lines);
                      },
                      [&] {
                          auto lines = folded(2000, softBreaks);
                          UnfoldLines(lines);
                      }),
                  30.0);
    }
}

TEST(PropertyLines, NamesParamsAndValues) {
    EXPECT_EQ(GetPropertyName("tel;WORK:1"), "TEL");
    EXPECT_EQ(GetPropertyName("SUMMARY:x"), "SUMMARY");
    EXPECT_EQ(GetPropertyName("no colon here"), "");
    EXPECT_EQ(GetPropertyName("X;no colon here"), "");
    EXPECT_TRUE(PropertyNameIs("tel;WORK:1", "TEL"));
    EXPECT_FALSE(PropertyNameIs("TELX:1", "TEL"));
    EXPECT_FALSE(PropertyNameIs("TEL;no colon", "TEL"));
    EXPECT_EQ(GetPropertyParams("TEL;WORK;VOICE;ENCODING=QUOTED-PRINTABLE:1"), u"WORK;VOICE");
    EXPECT_EQ(GetPropertyParams("EMAIL;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:x"), u"");
    EXPECT_EQ(GetPropertyParams("NOTE:a;b"), u"");
    // A cut that leaves text glued to the name: that text is no parameter.
    EXPECT_EQ(GetPropertyParamText("NOTE;CHARSET=UTF-8ABC;TYPE=1:x"), "TYPE=1");
    EXPECT_EQ(GetPropertyParamText("NOTE;ENCODING=QUOTED-PRINTABLE;:x"), "");
    EXPECT_EQ(GetPropertyValue("no colon here"), u"no colon here");

    const std::string n = "N:A;B C;;;";
    EXPECT_EQ(GetPropertyValue(n, 1), u"B C");
    EXPECT_EQ(GetPropertyValue(n, 3), u"");
    EXPECT_EQ(GetPropertyValue(n, 9), u"");
    EXPECT_EQ(GetPropertyValue(n), u"A;B C;;;");
    // Fields are cut before decoding: an encoded ";" stays inside its field.
    EXPECT_EQ(GetPropertyValue("ADR;ENCODING=QUOTED-PRINTABLE:;;a=3Bb;c", 2), u"a;b");
    // An escape that decoding reveals is still one.
    EXPECT_EQ(GetPropertyValue("N;ENCODING=QUOTED-PRINTABLE:x=5C=3By;z", 0), u"x;y");
    EXPECT_EQ(GetPropertyValue("N:a\\;b;c", 0), u"a;b");
    EXPECT_EQ(GetPropertyValue("N:a\\\\;b", 1), u"b");
    EXPECT_EQ(GetPropertyValue("NOTE:a\\nb\\,c", -1, true), u"a\nb,c");
    EXPECT_EQ(GetPropertyValue("SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=20b"), u"a b");
    EXPECT_EQ(GetPropertyValue("NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo"), u"one\r\ntwo");
    EXPECT_EQ(GetPropertyValue("FN;CHARSET=ISO-8859-1:J\xFCrgen"), u"J\u00FCrgen");
    EXPECT_EQ(GetPropertyValue("FN;ENCODING=QUOTED-PRINTABLE:J=FCrgen"), u"J\u00FCrgen");
    EXPECT_EQ(GetPropertyValue("X-EMOJI:\xF0\x9F\x8E\x89"), u"\U0001F389");
    // Only the head says how a value is encoded, in any letter case.
    EXPECT_EQ(GetPropertyValue("NOTE:see QUOTED-PRINTABLE a=3Db"), u"see QUOTED-PRINTABLE a=3Db");
    EXPECT_EQ(GetPropertyValue("NOTE;encoding=quoted-printable:a=3Db"), u"a=b");
    // All fields at once read as each one alone.
    EXPECT_EQ(GetPropertyValues("ADR;ENCODING=QUOTED-PRINTABLE:;;a=3Bb;c\\;d;"),
              (std::vector<WideString>{u"", u"", u"a;b", u"c;d", u""}));
    EXPECT_EQ(GetPropertyValues("N:one"), std::vector<WideString>{u"one"});
}

TEST(PropertyLines, FindPropertyStaysInTheItemsOwnBlock) {
    PlainItem event({"BEGIN:VCALENDAR", "BEGIN:VEVENT", "BEGIN:VALARM", "DESCRIPTION:alarm",
                     "END:VALARM", "DESCRIPTION:event", "END:VEVENT", "END:VCALENDAR"},
                    1);
    EXPECT_EQ(event.FindProperty("DESCRIPTION", {}), 5);
    EXPECT_EQ(event.FindProperty("BEGIN", {}), -1);
    EXPECT_EQ(event.FindProperty("END", {}), -1);

    PlainItem last({"BEGIN:VCARD", "VERSION:2.1", "TEL:1"}, 0);
    EXPECT_EQ(last.FindProperty("TEL", {}), 2);
    PlainItem empty({"BEGIN:VCARD"}, 0);
    EXPECT_EQ(empty.FindProperty("TEL", {}), -1);
}

TEST(PropertyLines, ParameterSelections) {
    const struct {
        std::string line;
        ParamList params;
        bool match;
    } cases[] = {
        {"EMAIL:x", {""}, true},
        {"EMAIL;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:x", {""}, true},
        {"EMAIL;INTERNET:x", {""}, false},
        {"EMAIL;INTERNET:x", {}, true},
        {"TEL;FAX;WORK:1", {"WORK", "FAX"}, true},
        {"TEL;WORK;FAX;VOICE:1", {"WORK", "FAX"}, true},
        {"TEL;WORK:1", {"WORK", "FAX"}, false},
        {"TEL;work;fax:1", {"WORK", "FAX"}, false},
    };
    for (const auto& c : cases) {
        PlainItem item({"BEGIN:VCARD", c.line, "END:VCARD"}, 0);
        EXPECT_EQ(item.FindProperty(GetPropertyName(c.line), c.params) == 1, c.match) << c.line;
    }
}

TEST(PropertyLines, SetPropertyReplacesOrInsertsAfterTheStartLine) {
    PlainItem item(
        {"BEGIN:VCARD", "VERSION:2.1", "TEL;HOME:123", "X-UNKNOWN;A=b:keep me", "END:VCARD"}, 1);
    item.State = ItemState::Unchanged;

    item.SetProperty("TEL", {""}, u"555");
    EXPECT_EQ(item.Lines,
              (std::vector<std::string>{"BEGIN:VCARD", "VERSION:2.1", "TEL:555", "TEL;HOME:123",
                                        "X-UNKNOWN;A=b:keep me", "END:VCARD"}));
    EXPECT_EQ(item.State, ItemState::Modified);

    item.SetProperty("TEL", {"WORK", "FAX"}, u"777");
    EXPECT_EQ(item.Lines[2], "TEL;WORK;FAX:777");
    item.SetProperty("TEL", {"HOME"}, u"124");
    EXPECT_EQ(item.Lines[4], "TEL;HOME:124");
    item.SetProperty("DTSTART", {}, u"20240115", "DTSTART;VALUE=DATE");
    EXPECT_EQ(item.Lines[2], "DTSTART;VALUE=DATE:20240115");
    item.SetProperty("DTSTART", {}, u"20240116T080000Z");
    EXPECT_EQ(item.Lines[2], "DTSTART:20240116T080000Z");
    item.SetProperty("NOTE", {}, u"");
    EXPECT_EQ(item.Lines[2], "NOTE:");
    EXPECT_EQ(item.Lines[7], "X-UNKNOWN;A=b:keep me");
}

TEST(PropertyLines, SetPropertyQPWritesOneLineThatReadsBack) {
    PlainItem item({"BEGIN:VEVENT", "END:VEVENT"}, 0);
    item.SetPropertyQP("SUMMARY", {}, u"a b");
    EXPECT_EQ(item.Lines[1], "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=20b");
    EXPECT_EQ(GetPropertyValue(item.Lines[1]), u"a b");

    item.SetPropertyQP("DESCRIPTION", {}, u"Zeile eins\r\nZeile zwei \u00FC \U0001F600");
    EXPECT_EQ(item.Lines[1],
              "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Zeile=20eins=0AZeile=20zwei=20="
              "C3=BC=20=F0=9F=98=80");
    EXPECT_EQ(GetPropertyValue(item.Lines[1]), u"Zeile eins\nZeile zwei \u00FC \U0001F600");
}

TEST(PropertyLines, MarkModifiedKeepsNewAndDeleted) {
    for (const auto& [before, after] : {std::pair{ItemState::Unchanged, ItemState::Modified},
                                        {ItemState::New, ItemState::New},
                                        {ItemState::Modified, ItemState::Modified},
                                        {ItemState::Deleted, ItemState::Deleted}}) {
        PlainItem item({"BEGIN:VNOTE", "END:VNOTE"});
        item.State = before;
        item.SetPropertyQP("BODY", {}, u"x");
        EXPECT_EQ(item.State, after);
    }
}

TEST(PayloadLines, CuttingAndJoining) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"A\r\nB\r\n", {"A", "B"}},
        {"A\nB", {"A", "B"}},
        {"A\rB\r", {"A", "B"}},
        {"A\r\n\r\nB", {"A", "", "B"}},
        {"", {}},
        {"A\r\nB\0C"s, {"A", "B"}},
        {"A\n\rB", {"A", "", "B"}},
        {"A\r\rB\nC", {"A", "", "B", "C"}},
        {"\r\n", {""}},
        {"A", {"A"}},
    };
    for (const auto& c : cases) {
        PlainItem item({});
        item.Parse(c.text);
        EXPECT_EQ(item.Lines, c.lines) << c.text;
    }
    PlainItem item({"A", "", "B"});
    EXPECT_EQ(item.GetText(), "A\r\n\r\nB\r\n");
}

// Folded lines join; a line ending in "=" takes the next only when its value is
// quoted-printable (a soft line break), never after Base64 padding or plain text.
TEST(PayloadLines, Unfolding) {
    using Lines = std::vector<std::string>;
    const struct {
        Lines in, out;
    } cases[] = {
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
        {{}, {}},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        UnfoldLines(lines);
        EXPECT_EQ(lines, c.out) << ::testing::PrintToString(c.in);
    }
}

TEST(PayloadLines, DateTimeValues) {
    EXPECT_EQ(GetDateTimeValue("DTSTART:"), 0);
    EXPECT_EQ(GetDateTimeValue("DTSTART;VALUE=DATE:20240115"), EncodeDate(2024, 1, 15));
    EXPECT_NEAR(GetDateTimeValue("TRIGGER:-PT15M"), -15.0 / 1440, 1e-12);
}

}  // namespace
}  // namespace orvanta
