#include <gtest/gtest.h>

#include <memory>

#include "formats/TimeZoneRule.h"
#include "support/Corpus.h"
#include "support/Payloads.h"

namespace orvanta {
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

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

}  // namespace
}  // namespace orvanta
