#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::endpoint_security {

// What a parse finds, in the order of the text. The texts handed over are decoded (escapes
// resolved) and valid UTF-8; they live only until the call returns.
class JSONHandler {
public:
    virtual void null() = 0;
    virtual void boolean(bool value) = 0;
    // A number without fraction or exponent that fits: signed when it has a minus sign.
    virtual void integer(int64_t value) = 0;
    virtual void unsignedInteger(uint64_t value) = 0;
    // Any other finite number.
    virtual void real(double value) = 0;
    virtual void string(std::string_view text) = 0;
    virtual void key(std::string_view name) = 0;
    virtual void startObject() = 0;
    virtual void endObject() = 0;
    virtual void startArray() = 0;
    virtual void endArray() = 0;

protected:
    ~JSONHandler() = default;
};

// Reads one JSON text strictly: the grammar of the standard with nothing added (no comments,
// no trailing commas, no other white space than space, tab, line feed and carriage return),
// strings of valid UTF-8 whose escapes pair their surrogates, and numbers that a double can
// hold. A UTF-8 byte order mark may open the text, and a zero byte after the value ends it as
// the end of the text does (what follows is not read), as the general parsers have it. Nesting
// costs a bit per level, without recursion. The parser keeps its buffers from one text to the next.
class JSONParser {
public:
    // Whether the text is JSON; when it is not, the handler may have heard a part of it.
    bool parse(std::string_view text, JSONHandler& handler);

    // Gives back the memory that a large text needed.
    void release();

private:
    bool at(char c) const;
    void skipSpace();
    // Ends the containers that close after a value, up to the comma before the next value (and,
    // in an object, its name); nothing when the outermost value has ended.
    bool closeContainers(JSONHandler& handler);
    bool memberName(JSONHandler& handler);
    bool scalar(JSONHandler& handler);
    bool literal(std::string_view word);
    bool string(std::string_view& result);
    bool escapedString(size_t start, std::string_view& result);
    // Steps over a character that is no plain ASCII but may stand unescaped in a string: DEL or
    // a well-formed UTF-8 sequence. False for a control character or invalid UTF-8.
    bool plainCharacter();
    bool escape();
    // The four hex digits of an escape, or -1.
    int32_t hexQuad();
    bool digits();
    bool number(JSONHandler& handler);

    std::string_view text_;
    size_t position_ = 0;
    // For each open container, whether it is an object.
    std::vector<bool> objects_;
    // Where a string with escapes is decoded.
    std::string decoded_;
};

} // namespace vorla::endpoint_security
