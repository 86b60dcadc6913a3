#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "formats/ObjectFile.h"
#include "formats/TimeZoneRule.h"
#include "support/Corpus.h"
#include "support/Payloads.h"

namespace orvanta {
namespace test {
// A failing case names its file rather than its bytes.
void PrintTo(const CorpusFile& file, std::ostream* out) {
    *out << file.name;
}
}  // namespace test

namespace {

using namespace test;

class RoundTrip : public ::testing::TestWithParam<CorpusFile> {
protected:
    ScopedTimeZone zone{kCentralEurope};
};

// Parse a payload another program wrote, change one field, write it out: every line but
// the one that carries the field is what came in, byte for byte.
TEST_P(RoundTrip, OnlyTheChangedPropertyDiffers) {
    const CorpusFile& f = GetParam();
    const auto client = f.makeClient();
    const std::unique_ptr<TSMLItem> item = client->CreateItem();
    item->Parse(f.text);
    EXPECT_EQ(item->State, ItemState::Unchanged);
    EXPECT_FALSE(item->GetTitle().empty());
    // Unfolding joins continuations only: every property of the file is still there.
    EXPECT_EQ(RawPropertyNames(item->GetText()), RawPropertyNames(f.text));
    // Written unchanged, the payload reads back to the same lines.
    const std::unique_ptr<TSMLItem> same = client->CreateItem();
    same->Parse(item->GetText());
    EXPECT_EQ(same->Lines, item->Lines);

    const std::vector<std::string> before = item->Lines;
    f.change(*item);
    EXPECT_EQ(item->State, ItemState::Modified);
    const std::vector<std::string> after = SplitPayloadLines(item->GetText());
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
}

// A file of one object is one item whose payload is the file, byte for byte; asked for
// another kind, the file holds none of it.
TEST_P(RoundTrip, TheFileIsOneObject) {
    const std::map<std::string, std::pair<const char*, const char*>> kinds = {
        {"card", {"VCARD", "VEVENT"}},
        {"vnote", {"VNOTE", "VCARD"}},
        {"task", {"VTODO", "VEVENT"}},
        {"cal", {"VEVENT", "VTODO"}}};
    const CorpusFile& f = GetParam();
    const auto& [component, other] = kinds.at(f.store);
    const ObjectFileItems items = SplitObjectFile(f.text, component);
    EXPECT_EQ(items.Payloads, std::vector<std::string>{f.text});
    EXPECT_EQ(items.OtherKinds, 0u);
    EXPECT_EQ(JoinObjectFile(items.Payloads), f.text);
    const ObjectFileItems none = SplitObjectFile(f.text, other);
    EXPECT_TRUE(none.Payloads.empty());
    EXPECT_EQ(none.OtherKinds, 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

}  // namespace
}  // namespace orvanta
