#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ranges>
#include <regex>
#include <filesystem>
#include <functional>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "formats/ObjectFile.h"
#include "formats/TimeZoneRule.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "support/Corpus.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

// The message a step fails with; empty when it does not fail.
std::string FailureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// Each kind's client is of that kind, and the local server's list of stores (which
// scripts/syncml-server reads) names each kind's store and device ID and no others.
TEST(KindTable, EachKindItsClientAndItsServerStore) {
    // The first two words of each line that is not a comment.
    static const std::regex kStore(R"((?:^|\n)(\w+) +(\w+))");
    const std::string stores = ReadFile(ORVANTA_SERVER_STORES);
    std::string listed, expected;
    for (std::sregex_iterator m(stores.begin(), stores.end(), kStore), end; m != end; ++m)
        listed += (*m)[1].str() + " " + (*m)[2].str() + "\n";
    for (const DataKind& kind : DataKinds()) {
        expected += kind.Defaults.DataSource + " " + kind.Defaults.DeviceID + "\n";
        EXPECT_EQ(&KindOf(*kind.MakeClient()), &kind) << kind.Keyword;
    }
    EXPECT_EQ(listed, expected);
}

// A payload's text with its lines ended by LF, as the case files write it; a line ended
// otherwise than with CR LF fails.
std::string LfLines(const std::string& text) {
    EXPECT_EQ(std::ranges::count(text, '\n'), std::ranges::count(text, '\r')) << text;
    return std::regex_replace(text, std::regex("\r\n"), "\n");
}

// Where the comments and blank lines that end a section of a case file begin.
std::size_t LayoutStart(const std::string& body) {
    std::size_t end = body.size();
    while (end > 0) {
        const std::size_t start = end > 1 ? body.rfind('\n', end - 2) + 1 : 0;
        if (end - start > 1 && body[start] != '#') break;
        end = start;
    }
    return end;
}

// A case file of tests/data/items: cases of one kind of item each, read, edited and
// written. "== case KIND" (cal, card, task, vnote) begins one with the payload below it,
// lines joined with CR LF; "== case KIND new" with the kind's new item instead; "raw" takes
// the payload as one line with \r, \n and \xHH escapes; "zone=RULE" reads it in another
// zone than Central European time. Then, in order: "== fields" (what the item reads, as
// FilledFields writes it), "== title T", "== state S", "== set Name=value" (SetField),
// "== payload" (the text the item writes), "== reads back" (the written text, read
// again, gives the same fields) and "== fails MESSAGE", the failure of the step before it.
// The file is written anew from its cases and steps and compared, comments kept.
class ItemCases : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(ItemCases, AsTheFileSays) {
    static const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
    std::optional<ScopedTimeZone> zone;
    std::unique_ptr<TSMLBase> client;
    TSMLItem* item = nullptr;
    std::string out;
    const auto attempt = [&out](const std::function<void()>& step) {
        if (const std::string why = FailureOf(step); !why.empty()) out += "== fails " + why + "\n";
    };
    for (const Section& s : ReadSections(ReadFile(GetParam()))) {
        const std::string body = s.Body.substr(0, LayoutStart(s.Body));
        const std::string verb = s.Head.substr(0, s.Head.find(' '));
        const std::string arg = s.Head.size() > verb.size() ? s.Head.substr(verb.size() + 1) : "";
        const std::string echo = verb.empty() ? "" : "== " + s.Head + "\n";
        if (verb.empty() || verb == "case" || verb == "set" || verb == "reads") out += echo + body;
        if (verb == "case") {
            static const std::regex kZone(" zone=(\\S+)");
            std::smatch rule;
            const bool fresh = arg.find(" new") != std::string::npos;
            const bool raw = arg.find(" raw") != std::string::npos;
            zone.emplace(std::regex_search(arg, rule, kZone) ? rule[1].str() : kCentralEurope);
            client = KindNamed(arg.substr(0, arg.find(' '))).MakeClient();
            item =
                fresh ? client->NewItem() : client->Items.emplace_back(client->CreateItem()).get();
            const std::string payload = raw ? Unescaped(body.substr(0, body.find('\n')))
                                            : std::regex_replace(body, std::regex("\n"), "\r\n");
            if (!fresh) attempt([&] { item->Parse(payload); });
        } else if (verb == "fields") {
            out += echo + FilledFields(KindOf(*client), *item);
        } else if (verb == "title") {
            const std::string title = Escaped(ToUTF8(item->GetTitle()));
            out += "== title" + (title.empty() ? "" : " " + title) + "\n";
        } else if (verb == "state") {
            out += std::string("== state ") + kStates[static_cast<int>(item->State)] + "\n";
        } else if (verb == "set") {
            attempt([&] { SetField(*item, arg); });
        } else if (verb == "payload") {
            out += echo + LfLines(item->GetText());
        } else if (verb == "reads") {
            const auto again = client->CreateItem();
            again->Parse(item->GetText());
            EXPECT_EQ(FilledFields(KindOf(*client), *again), FilledFields(KindOf(*client), *item));
        }
        out += s.Body.substr(body.size());
    }
    ExpectTranscript(GetParam(), out);
}

INSTANTIATE_TEST_SUITE_P(Data, ItemCases, ::testing::ValuesIn(CaseFiles("items", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

// A server sends a client only the properties and TYPE words its device information
// declares: a line the contact writes and later reads must be declared, or the server
// keeps it back from the next load.
TEST(Contact, EveryLineItWritesIsDeclared) {
    TSMLContacts cont;
    TSMLContact& contact = *cont.NewItem();
    const auto declared = [&](std::string_view line) {
        const auto& caps = cont.Capabilities;
        const auto cap = std::ranges::find(caps, GetPropertyName(line), &PropertyCapability::Name);
        if (cap == caps.end()) return false;
        const std::string params = GetPropertyParamText(line);
        for (const auto part : std::views::split(params, ';')) {
            const std::string word(part.begin(), part.end());
            if (word.find('=') == std::string::npos && !std::ranges::count(cap->Types, word))
                return false;
        }
        return true;
    };
    for (const ContactField& field : ContactFields()) {
        if (field.Text) contact.Set(field.Text, u"x\u00e9");
    }
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    for (const std::string_view line : contact.Lines)
        EXPECT_TRUE(declared(line)) << line;
    for (const char* line : {"TEL;HOME;VOICE:1", "EMAIL;INTERNET:a@b", "FN:A B"})
        EXPECT_TRUE(declared(line)) << line;
    for (const char* line : {"NICKNAME:x", "TEL;PAGER:1", "PHOTO;ENCODING=b:AA"})
        EXPECT_FALSE(declared(line)) << line;
}

class RoundTrip : public ::testing::TestWithParam<CorpusFile> {
protected:
    ScopedTimeZone zone{kCentralEurope};
};

// Parse a payload another program wrote, change one field, write it out: every line but
// the one that carries the field is what came in, byte for byte. The payload reads to
// exactly the fields its reference beside it (NAME.fields) lists, so a new case is a pair
// of files; ORVANTA_UPDATE_CASES=1 writes the references anew.
TEST_P(RoundTrip, EveryOtherByteKept) {
    const CorpusFile& f = GetParam();
    const auto client = f.makeClient();
    const std::unique_ptr<TSMLItem> item = client->CreateItem();
    item->Parse(f.text);
    ExpectTranscript(ORVANTA_TEST_DATA "/" + f.name + ".fields", FilledFields(*f.kind, *item));
    EXPECT_FALSE(item->GetTitle().empty());
    // Unfolding joins continuations only: every property of the file is still there.
    EXPECT_EQ(RawPropertyNames(item->GetText()), RawPropertyNames(f.text));
    // Written unchanged, the payload reads back to the same lines.
    const std::unique_ptr<TSMLItem> same = client->CreateItem();
    same->Parse(item->GetText());
    EXPECT_EQ(same->Lines, item->Lines);

    const ItemLines before = item->Lines;
    f.change(*item);
    EXPECT_EQ(item->State, ItemState::Modified);
    const ItemLines after = SplitPayloadLines(item->GetText());
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++changed;
        EXPECT_EQ(GetPropertyName(after[i]), f.property) << after[i];
    }
    EXPECT_EQ(changed, 1);
    const std::unique_ptr<TSMLItem> reread = client->CreateItem();
    reread->Parse(item->GetText());
    EXPECT_EQ(reread->Lines, after);
    EXPECT_NE(ToUTF8(reread->GetTitle()).find(ToUTF8(kCorpusEdit)), std::string::npos);

    // As a file, the payload is one item, byte for byte (but for time zones that none of
    // its lines uses); asked for another kind, the file holds none of it.
    const std::map<std::string, const char*> others = {
        {"card", "VEVENT"}, {"vnote", "VCARD"}, {"task", "VEVENT"}, {"cal", "VTODO"}};
    const char* other = others.at(f.store);
    std::string expected = f.text;
    if (const auto zone = expected.find("BEGIN:VTIMEZONE\r\n");
        zone != std::string::npos && expected.find("TZID=") == std::string::npos) {
        const std::string end = "END:VTIMEZONE\r\n";
        expected.erase(zone, expected.find(end, zone) + end.size() - zone);
    }
    const ObjectFileItems items = SplitObjectFile(f.text, f.kind->Component);
    EXPECT_EQ(items.Payloads, std::vector<std::string>{expected});
    EXPECT_EQ(items.OtherKinds, 0u);
    EXPECT_EQ(JoinObjectFile(items.Payloads), expected);
    const ObjectFileItems none = SplitObjectFile(f.text, other);
    EXPECT_TRUE(none.Payloads.empty());
    EXPECT_EQ(none.OtherKinds, 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

// Every case of tests/data/import: the kind asked for on the first line, "== file" and its
// bytes ("== file as UTF-16LE": that text in UTF-16 with a byte-order mark), then what
// cutting it gives: each item after "== item" (its lines end in CR LF), with "== unreadable:
// WHY" after one that cannot be read, "== other kinds N", or "== refused" and the message.
// The case is written anew from its input and compared; "== window" (what the File menu
// says of the file) comes last and is kept as it stands. Each item finds its own component
// and reads the same once written and read again; the items joined are cut alike again.
TEST(ObjectFile, CasesOfTestData) {
    ScopedTimeZone zone{kCentralEurope};
    for (const auto& path : CaseFiles("import", ".case")) {
        SCOPED_TRACE(path.filename().string());
        std::string component, file, window, out;
        for (const Section& s : ReadSections(ReadFile(path))) {
            if (s.Head == "window") window = "== window\n" + s.Body;
            if (!s.Head.empty() && !s.Head.starts_with("file")) continue;
            out += (s.Head.empty() ? "" : "== " + s.Head + "\n") + s.Body;
            if (s.Head.empty()) component = s.Body.substr(0, s.Body.find('\n'));
            if (s.Head == "file") file = s.Body;
            if (s.Head != "file as UTF-16LE") continue;
            file = "\xFF\xFE";
            for (const char16_t unit : FromUTF8(s.Body))
                file += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        }
        ObjectFileItems items;
        try {
            items = SplitObjectFile(file, component);
        } catch (const ItemError& e) {
            ExpectTranscript(path, out + "== refused\n" + e.what() + "\n" + window);
            continue;
        }
        const auto kind = std::ranges::find(DataKinds(), component, &DataKind::Component);
        ASSERT_NE(kind, DataKinds().end());
        for (const std::string& payload : items.Payloads) {
            out += "== item\n" + LfLines(payload);
            const auto item = kind->MakeClient()->CreateItem();
            if (const std::string why = FailureOf([&] { item->Parse(payload); }); !why.empty()) {
                out += "== unreadable: " + why + "\n";
                continue;
            }
            if (component == "VEVENT" || component == "VTODO") {
                EXPECT_TRUE(IsBlockLine(item->Lines[static_cast<std::size_t>(item->StartLine)],
                                        "BEGIN", component));
            }
            const auto again = kind->MakeClient()->CreateItem();
            again->Parse(item->GetText());
            EXPECT_EQ(again->Lines, item->Lines);
            EXPECT_EQ(again->GetTitle(), item->GetTitle());
        }
        if (items.OtherKinds) out += "== other kinds " + std::to_string(items.OtherKinds) + "\n";
        ExpectTranscript(path, out + window);
        EXPECT_EQ(SplitObjectFile(JoinObjectFile(items.Payloads), component).Payloads,
                  items.Payloads);
    }
}

// A calendar made to fill the memory with copies of a large zone is refused before a
// payload is made.
TEST(ObjectFile, AFileThatWouldFillTheMemoryIsRefused) {
    std::string bomb = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTIMEZONE\r\nTZID:Zone0\r\nX-PAD:" +
                       std::string(1 << 20, 'x') + "\r\nEND:VTIMEZONE\r\n";
    for (int i = 0; i < 101; ++i)
        bomb += "BEGIN:VEVENT\r\nDTSTART;TZID=Zone0:20260715T100000\r\nEND:VEVENT\r\n";
    EXPECT_EQ(FailureOf([&] { (void)SplitObjectFile(bomb + "END:VCALENDAR\r\n", "VEVENT"); }),
              "The calendar that begins on line 1 would make 101 MB of items, as each repeats the "
              "calendar's lines and the time zones it uses: a file of 1 MB may make at most 80 MB");
}

}  // namespace
}  // namespace orvanta
