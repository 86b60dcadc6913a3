#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/SyncMLItem.h"

namespace orvanta {

class TItemStorage;

// The items of one data store in memory, as the window shows them and the offline edits
// change them: it owns the items, finds them by LUID (an item's ID), and keeps each
// item's State. Every edit goes to its storage at once, so that closing the program
// loses nothing; the storage is the master copy, and Load reads it again (after a sync,
// say). Items marked deleted stay until the server has confirmed their Delete: a view
// passes over them.
class TItemCollection {
public:
    // Makes an empty item of the store's kind, which Parse then fills.
    using ItemFactory = std::function<std::unique_ptr<TSMLItem>()>;

    TItemCollection(TItemStorage& storage, ItemFactory makeItem);
    TItemCollection(const TItemCollection&) = delete;
    TItemCollection& operator=(const TItemCollection&) = delete;

    // Replaces what the collection holds by every item of the storage.
    void Load();

    [[nodiscard]] std::size_t size() const { return items_.size(); }
    [[nodiscard]] TSMLItem& operator[](std::size_t i) const { return *items_[i]; }
    [[nodiscard]] TSMLItem* Find(std::string_view luid) const;
    // How many items wait for the next sync (new, modified, deleted).
    [[nodiscard]] std::size_t Changes() const;

    // New local items (an import): their payload is each item's lines; they get their
    // LUIDs and state new, all of them or, when the storage fails, none.
    std::vector<TSMLItem*> Add(std::vector<std::unique_ptr<TSMLItem>> items);
    TSMLItem& Add(std::unique_ptr<TSMLItem> item);
    // Keeps an item the user has edited: its lines are written and it is marked (a new
    // item stays new).
    void Save(TSMLItem& item);
    // A new item that has not gone to the server is dropped; any other is marked deleted.
    void Remove(std::string_view luid);

private:
    // Takes an item with its ID set.
    TSMLItem& Hold(std::unique_ptr<TSMLItem> item);

    TItemStorage& storage_;
    ItemFactory makeItem_;
    std::vector<std::unique_ptr<TSMLItem>> items_;
    // By LUID; the keys are views of the items' own IDs.
    std::unordered_map<std::string_view, TSMLItem*> byLUID_;
};

}  // namespace orvanta
