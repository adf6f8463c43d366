#pragma once

#include "platform/endpoint_security/JSONParser.hpp"

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::endpoint_security {

// One stream line parsed into a flat document that costs memory in proportion to the line and
// next to no allocation once its buffers have grown: the values lie in one array in the order
// of the line, each container followed by what it holds, and every text lies in one buffer.
// An exec line may list millions of arguments; a value costs sixteen bytes, so an array made
// only of strings is kept instead as a text list, whose texts lie one after another in the
// buffer, each followed by a zero byte. Values nested deeper than any message key reaches
// (keptDepth containers down) are checked but not kept, so deep nesting costs nothing either.
class LineDocument final : private JSONHandler {
    struct Node;

public:
    // The deepest value a message key reaches lies six containers down (a path in the
    // executable of an instigator); a little margin keeps the rule independent of the count.
    static constexpr size_t keptDepth = 8;
    // No longer line is read, so that counts and places fit their fields.
    static constexpr size_t maxLineLength = size_t{16} << 20;

    enum class Kind : uint8_t {
        null,
        boolean,
        integer, // a negative integer
        unsignedInteger,
        real,
        string,
        object,
        array,
        textList,
    };

    // A value of the document, valid until the next parse; or an absent value, which reads as
    // an object with no members.
    class Value {
    public:
        Value() = default;

        explicit operator bool() const { return document_ != nullptr; }
        Kind kind() const { return node().kind; }
        bool is(Kind kind) const { return document_ && node().kind == kind; }

        bool boolean() const { return node().bits != 0; }
        int64_t integer() const { return static_cast<int64_t>(node().bits); }
        uint64_t unsignedInteger() const { return node().bits; }
        double real() const { return std::bit_cast<double>(node().bits); }
        std::string_view string() const;

        // The member of an object with the name, the last one when the name repeats; absent
        // when there is none (or this is no object).
        Value member(std::string_view name) const;

        // The number of items of an array, members of an object or texts of a text list.
        size_t size() const { return node().size; }
        // The items of an array, or the names and values of an object in turn, one after
        // another: the first, and the one after an item.
        Value firstItem() const { return {document_, index_ + 1}; }
        Value nextItem() const { return {document_, node().end}; }
        // The index-th text of a text list; a zero byte follows it in texts().
        std::string_view text(size_t index) const;
        // All texts of a text list, as they lie one after another.
        std::string_view texts() const;

    private:
        friend class LineDocument;
        Value(const LineDocument* document, uint32_t index) : document_(document), index_(index) {}
        const Node& node() const { return document_->nodes_[index_]; }

        const LineDocument* document_ = nullptr;
        uint32_t index_ = 0;
    };

    // Whether the line is JSON; the document's buffers are reused.
    bool parse(std::string_view line);
    // The outermost value of the last line parsed.
    Value root() const { return {this, 0}; }
    // Gives back the memory that a large line needed.
    void release();

private:
    // A container being read.
    struct Open {
        uint32_t node;
        uint32_t count;
        bool object;
        // An array that has held nothing but strings so far keeps them as texts.
        bool textsOnly;
        uint32_t firstEnd;
        uint32_t firstText;
    };

    void null() override;
    void boolean(bool value) override;
    void integer(int64_t value) override;
    void unsignedInteger(uint64_t value) override;
    void real(double value) override;
    void string(std::string_view text) override;
    void key(std::string_view name) override;
    void startObject() override;
    void endObject() override;
    void startArray() override;
    void endArray() override;

    // Whether the next value is kept: it lies no deeper than a message key reaches.
    bool kept() const { return depth_ <= keptDepth; }
    void place(Kind kind, uint64_t bits);
    void add(Kind kind, uint64_t bits, size_t size = 0);
    void keepAsValues(Open& array);
    void openContainer(Kind kind);
    void closeContainer();
    uint32_t appendText(std::string_view text);

    struct Node {
        // A number's bits, a boolean, or where a text lies in texts_. For a text list, where its
        // first text begins in texts_ (low half) and its first end in ends_ (high half).
        uint64_t bits = 0;
        // The index just past this value and everything it holds.
        uint32_t end = 0;
        // The length of a string, or the number of members, items or texts.
        uint32_t size : 24 = 0;
        Kind kind : 8 = Kind::null;
    };
    static_assert(sizeof(Node) == 16);

    std::vector<Node> nodes_;
    // The texts of strings and member names, each followed by a zero byte.
    std::string texts_;
    // Where each text of a text list ends in texts_ (at its zero byte).
    std::vector<uint32_t> ends_;
    std::vector<Open> open_;
    size_t depth_ = 0;
    JSONParser parser_;
};

} // namespace vorla::endpoint_security
