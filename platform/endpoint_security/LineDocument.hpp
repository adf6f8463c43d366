#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::endpoint_security {

// One stream line parsed into a JSON document that costs memory in proportion to the line.
// An exec line may list millions of arguments; as JSON values they would cost about a hundred
// bytes each, so an array made only of strings is kept instead as a text list: the texts lie
// one after another in one shared buffer, each followed by a zero byte, and the array's place
// in the document holds a marker that names the list. Values nested deeper than any message
// key reaches are checked but not kept, so deep nesting costs nothing either.
class LineDocument {
public:
    // Nothing if the line is not JSON.
    static std::optional<LineDocument> parse(std::string_view line);

    const nlohmann::json& root() const { return root_; }

    // Whether the value stands for a text list.
    static bool isTextList(const nlohmann::json& value);
    size_t textCount(const nlohmann::json& list) const;
    // The index-th text of the list; it is followed by a zero byte in texts().
    std::string_view text(const nlohmann::json& list, size_t index) const;
    // The buffer that all listed texts lie in, to be kept for as long as they are used.
    const std::shared_ptr<const std::string>& texts() const { return texts_; }

private:
    class Builder;

    struct TextList {
        // Where the list's first text ends in ends_, and how many texts it has.
        size_t first = 0;
        size_t count = 0;
    };

    nlohmann::json root_;
    std::shared_ptr<const std::string> texts_;
    // Where each listed text ends in texts_ (at its zero byte). The decoder accepts no line
    // longer than 16 MiB and the texts are never longer than the line, so 32 bits suffice.
    std::vector<uint32_t> ends_;
    std::vector<TextList> lists_;
};

} // namespace vorla::endpoint_security
