#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/TextCodec.h"

namespace orvanta {

// Local change state of an item.
enum class ItemState : std::uint8_t { Unchanged = 0, New = 1, Modified = 2, Deleted = 3 };

// Which server command delivered an item in the last load.
enum class ServerChangeKind : std::uint8_t { None = 0, Added = 1, Replaced = 2, Deleted = 3 };

// The parameter selection of FindProperty and the property writers:
//  - empty: any line of the name; the head written is the bare name;
//  - first entry empty: only a line without parameters (encoding and charset aside);
//  - names: each must occur in the line's parameters; the head is NAME;P1;P2...
using ParamList = std::vector<std::string>;

class ItemLines;

// Where the line of `text` that begins at `start` ends: its text ends at End, and the
// next line begins at Next, after its CR LF, lone CR or lone LF (or at the end).
struct LineBounds {
    std::size_t End;
    std::size_t Next;
};
[[nodiscard]] LineBounds LineAt(std::string_view text, std::size_t start);

// Cuts a payload at CR LF, lone CR and lone LF. Every other byte, NUL included, stays in
// its line: no line of a payload is dropped.
[[nodiscard]] ItemLines SplitPayloadLines(std::string_view text);

// How the physical lines of a text join into its logical lines, decided one line at a
// time. UnfoldLines and the reader of object files both ask it, so a file is cut into
// items along the very lines the items read.
//  - A line that begins with a blank (space or tab, RFC 5545 3.1) continues the line
//    before it, without that blank; the first line of a text continues nothing, and an
//    empty line is not continued by a line that would then begin with a blank (written
//    back, such a line would continue the line before the empty one).
//  - A quoted-printable value that ends in "=" (a soft line break, RFC 2045) takes the
//    next line, the "=" dropped. Other values may end in "=" (Base64 padding, plain text)
//    and then end there.
// Every logical line it makes is written back as one physical line that reads the same:
// unfolded, written and unfolded again, lines stay as they are.
class LineFolding {
public:
    enum class Join : std::uint8_t {
        None,          // the next line begins a logical line of its own
        Continuation,  // the next line, its first byte dropped, is appended
        SoftBreak,     // the "=" that ends the line is dropped and the next line appended
    };
    // How `next` joins `line`, the logical line read so far (nothing for the first line
    // of a text). Between two answers None, `line` must be one logical line growing.
    [[nodiscard]] Join Of(const std::string_view* line, std::string_view next);

private:
    // Whether the line's head (up to its first ":") says quoted-printable. While the line
    // grows, the search for the ":" goes on where it stopped: no byte is looked at twice.
    [[nodiscard]] bool QuotedPrintable(std::string_view line);

    bool known_ = false;
    bool quotedPrintable_ = false;
    std::size_t scanned_ = 0;
};

// Joins folded lines in place, in one pass from the first line to the last, by the
// rules of LineFolding.
void UnfoldLines(ItemLines& lines);

// Whether a line ends in a quoted-printable soft line break: a reader joins the line that
// follows it to it.
[[nodiscard]] bool EndsInSoftBreak(std::string_view line);

// The lines of one item's payload, without their line ends, in one buffer: the texts
// one after the other and where each ends. An item of a few hundred bytes takes two
// allocations, however many lines it has. A line is read as a view that stays valid
// until the next edit; an edit moves the text after it.
class ItemLines {
public:
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using reference = std::string_view;
        using pointer = void;

        Iterator() = default;
        Iterator(const ItemLines* lines, std::size_t i) : lines_(lines), i_(i) {}
        std::string_view operator*() const { return (*lines_)[i_]; }
        std::string_view operator[](difference_type n) const { return *(*this + n); }
        Iterator& operator++() { return ++i_, *this; }
        Iterator operator++(int) { return {lines_, i_++}; }
        Iterator& operator--() { return --i_, *this; }
        Iterator operator--(int) { return {lines_, i_--}; }
        Iterator& operator+=(difference_type n) { return i_ += static_cast<std::size_t>(n), *this; }
        Iterator& operator-=(difference_type n) { return i_ -= static_cast<std::size_t>(n), *this; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.i_ == b.i_; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.i_ <=> b.i_; }

    private:
        const ItemLines* lines_ = nullptr;
        std::size_t i_ = 0;
    };
    using iterator = Iterator;
    using const_iterator = Iterator;
    using value_type = std::string_view;
    using size_type = std::size_t;

    ItemLines() = default;
    ItemLines(std::initializer_list<std::string_view> lines);
    explicit ItemLines(std::span<const std::string> lines);

    [[nodiscard]] std::size_t size() const { return ends_.size(); }
    [[nodiscard]] bool empty() const { return ends_.empty(); }
    [[nodiscard]] std::string_view operator[](std::size_t i) const {
        const std::size_t begin = Begin(i);
        return {text_.data() + begin, ends_[i] - begin};
    }
    [[nodiscard]] std::string_view back() const { return (*this)[size() - 1]; }
    [[nodiscard]] Iterator begin() const { return {this, 0}; }
    [[nodiscard]] Iterator end() const { return {this, size()}; }

    void Replace(std::size_t i, std::string_view line);
    void Insert(std::size_t at, std::string_view line);
    void Insert(std::size_t at, std::span<const std::string_view> lines);
    // Removes lines [first, last).
    void Erase(std::size_t first, std::size_t last);
    void push_back(std::string_view line);

    friend bool operator==(const ItemLines& a, const ItemLines& b) {
        return a.ends_ == b.ends_ && a.text_ == b.text_;
    }
    friend bool operator==(const ItemLines& a, const std::vector<std::string>& b);

private:
    friend ItemLines SplitPayloadLines(std::string_view text);
    friend void UnfoldLines(ItemLines& lines);

    // Line ends are 32-bit: a text that would grow beyond them is refused (ItemError)
    // before anything changes.
    static void CheckSize(std::size_t size);
    // Where line i begins in text_.
    [[nodiscard]] std::size_t Begin(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }

    std::string text_;
    std::vector<std::uint32_t> ends_;
};

// One synchronised item. The payload lines are the master copy: typed fields are read
// from them, every setter rewrites only the line that carries its field, and every
// other line goes back to the server byte for byte.
class TSMLItem {
public:
    TSMLItem() = default;
    virtual ~TSMLItem() = default;
    TSMLItem(const TSMLItem&) = delete;
    TSMLItem& operator=(const TSMLItem&) = delete;

    // The item's local identifier (LUID), the client's own; the server's identifier once
    // the server has sent the item, empty for an item made here (the server keeps the map
    // from our LUID to its own identifier for those). A load without a replica uses the
    // server's identifier as both.
    std::string ID;
    std::string ServerID;
    ItemState State = ItemState::New;
    ServerChangeKind ServerChange = ServerChangeKind::None;
    std::int32_t StartLine = 0;
    std::string CmdID;
    ItemLines Lines;

    // Replaces Lines by the lines of the UTF-8 payload. The item types read their
    // fields after this and leave State unchanged (0).
    virtual void Parse(std::string_view text);
    [[nodiscard]] virtual WideString GetTitle() const = 0;
    virtual void SetTitle(const WideString& value) = 0;
    // What tells this item apart from the other items of its store, read the same from
    // the server's rewrite of it (which adds and drops lines of its own): a slow sync
    // pairs the server's items with those held here by it. The title, unless the kind
    // knows better.
    [[nodiscard]] virtual std::string PairingKey() const;

    // Every line followed by CR LF, the last one included.
    [[nodiscard]] std::string GetText() const;
    // The first of the item's own lines (those of the block its StartLine opens, not of
    // the blocks nested in it or after it) of the name and parameters, or -1. `exclude`,
    // when given, passes over lines whose parameters contain it.
    [[nodiscard]] std::int32_t FindProperty(std::string_view name, const ParamList& params,
                                            std::string_view exclude = {}) const;
    void SetProperty(std::string_view name, const ParamList& params, const WideString& value,
                     std::string_view head = {}, std::string_view exclude = {});
    void SetPropertyQP(std::string_view name, const ParamList& params, const WideString& value,
                       std::string_view head = {}, std::string_view exclude = {});
    void MarkModified();

protected:
    // Replaces the property line found by name and parameters, or inserts it as the
    // first line of the item's own block.
    void WriteLine(std::string_view name, const ParamList& params, std::string line,
                   std::string_view exclude);
    [[nodiscard]] static std::string BuildHead(std::string_view name, const ParamList& params,
                                               std::string_view head);
};

// Property-line codec.
[[nodiscard]] std::string GetPropertyName(std::string_view line);
// GetPropertyName(line) == upperName, without building the name.
[[nodiscard]] bool PropertyNameIs(std::string_view line, std::string_view upperName);
[[nodiscard]] WideString GetPropertyParams(std::string_view line);
// The same as the payload's bytes, for the parameter tests of the item kinds.
[[nodiscard]] std::string GetPropertyParamText(std::string_view line);
// Index -1 gives the whole value; index 0 and up one field of a structured value, in
// which "\;" and "\\" stand for ";" and "\". With textEscapes (a payload whose plain
// text is escaped: iCalendar 2.0, vCard 3.0) "\n", "\N" and "\," are undone as well.
[[nodiscard]] WideString GetPropertyValue(std::string_view line, int index = -1,
                                          bool textEscapes = false);
// The fields of a structured value in order, read as GetPropertyValue reads one, into
// the texts given: field k into into[k]. The value is walked once however many fields
// it has; a null entry passes its field over, fields beyond the list are not read, and
// texts beyond the fields are left as they are.
void ReadPropertyValues(std::string_view line, bool textEscapes, std::span<WideString* const> into);
[[nodiscard]] std::string UnescapeField(std::string_view field, bool textEscapes);
[[nodiscard]] TDateTime GetDateTimeValue(std::string_view line);

}  // namespace orvanta
