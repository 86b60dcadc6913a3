#include "formats/ItemCollection.h"

#include <algorithm>
#include <string>

#include "formats/ItemStorage.h"

namespace orvanta {

namespace {

[[noreturn]] void NoSuchItem(std::string_view luid) {
    throw StorageError(StorageProblem::NoSuchItem,
                       "There is no item " + std::string(luid) + " in this data source");
}

}  // namespace

TItemCollection::TItemCollection(TItemStorage& storage, ItemFactory makeItem)
    : storage_(storage), makeItem_(std::move(makeItem)) {}

void TItemCollection::Load() {
    std::vector<std::unique_ptr<TSMLItem>> items;
    std::unordered_map<std::string_view, TSMLItem*> byLUID;
    storage_.ReadItems([&](const StoredItemView& stored) {
        auto item = makeItem_();
        item->Parse(stored.Payload);
        item->ID = stored.LUID;
        item->ServerID = stored.ServerID;
        item->State = stored.State;
        byLUID.emplace(item->ID, item.get());
        items.push_back(std::move(item));
    });
    // Swapped in only once the whole store is read: a failure keeps what was shown.
    items_.swap(items);
    byLUID_.swap(byLUID);
}

TSMLItem* TItemCollection::Find(std::string_view luid) const {
    const auto it = byLUID_.find(luid);
    return it == byLUID_.end() ? nullptr : it->second;
}

std::size_t TItemCollection::Changes() const {
    return static_cast<std::size_t>(
        std::count_if(items_.begin(), items_.end(),
                      [](const auto& item) { return item->State != ItemState::Unchanged; }));
}

TSMLItem& TItemCollection::Hold(std::unique_ptr<TSMLItem> item) {
    TSMLItem& held = *item;
    items_.push_back(std::move(item));
    byLUID_.emplace(held.ID, &held);
    return held;
}

std::vector<TSMLItem*> TItemCollection::Add(std::vector<std::unique_ptr<TSMLItem>> items) {
    std::vector<std::string> payloads;
    payloads.reserve(items.size());
    for (const auto& item : items)
        payloads.push_back(item->GetText());
    const std::vector<std::string_view> views(payloads.begin(), payloads.end());
    const std::vector<std::string> luids = storage_.AddLocal(views);

    std::vector<TSMLItem*> added;
    added.reserve(items.size());
    items_.reserve(items_.size() + items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->ID = luids[i];
        items[i]->State = ItemState::New;
        added.push_back(&Hold(std::move(items[i])));
    }
    return added;
}

TSMLItem& TItemCollection::Add(std::unique_ptr<TSMLItem> item) {
    std::vector<std::unique_ptr<TSMLItem>> one;
    one.push_back(std::move(item));
    return *Add(std::move(one)).front();
}

void TItemCollection::Save(TSMLItem& item) {
    item.State = storage_.ReplaceLocal(item.ID, item.GetText());
}

void TItemCollection::Remove(std::string_view luid) {
    TSMLItem* item = Find(luid);
    if (!item) NoSuchItem(luid);
    if (!storage_.DeleteLocal(luid)) {
        item->State = ItemState::Deleted;
        return;
    }
    byLUID_.erase(item->ID);
    items_.erase(std::find_if(items_.begin(), items_.end(),
                              [item](const auto& held) { return held.get() == item; }));
}

}  // namespace orvanta
