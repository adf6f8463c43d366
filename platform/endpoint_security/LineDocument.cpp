#include "platform/endpoint_security/LineDocument.hpp"

namespace vorla::endpoint_security {

namespace {

using nlohmann::json;

// The deepest value a message key reaches lies six containers down (a path in the executable
// of an instigator); a little margin keeps the rule independent of the exact count.
constexpr size_t keptDepth = 8;

} // namespace

// Builds the document from the parser's events.
class LineDocument::Builder {
public:
    explicit Builder(LineDocument& document) : document_(document) {}

    std::string takeTexts() { return std::move(texts_); }

    bool null() { return place(nullptr); }
    bool boolean(bool value) { return place(value); }
    bool number_integer(json::number_integer_t value) { return place(value); }
    bool number_unsigned(json::number_unsigned_t value) { return place(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return place(value); }
    bool binary(json::binary_t&) { return false; } // JSON text has no such values

    bool string(json::string_t& value) {
        if (kept() && !open_.empty() && open_.back().textsOnly) {
            texts_.append(value);
            texts_.push_back('\0');
            document_.ends_.push_back(static_cast<uint32_t>(texts_.size() - 1));
            return true;
        }
        return place(std::move(value));
    }

    bool start_object(size_t) { return openContainer(json::object()); }
    bool start_array(size_t) { return openContainer(json::array()); }
    bool end_object() { return closeContainer(); }
    bool end_array() { return closeContainer(); }

    bool key(json::string_t& name) {
        if (kept()) {
            // A repeated key takes the later value, as the key's slot is reused.
            slot_ = &(*open_.back().value)[name];
        }
        return true;
    }

    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

private:
    struct Open {
        json* value;
        // An array that has held nothing but strings so far keeps them as texts.
        bool textsOnly;
        size_t firstEnd;
        size_t firstText;
    };

    // Whether the next value is kept: it lies no deeper than a message key reaches.
    bool kept() const { return depth_ <= keptDepth; }

    json* add(json&& value) {
        if (open_.empty()) {
            document_.root_ = std::move(value);
            return &document_.root_;
        }
        Open& parent = open_.back();
        if (parent.value->is_object()) {
            *slot_ = std::move(value);
            return slot_;
        }
        keepAsValues(parent);
        parent.value->push_back(std::move(value));
        return &parent.value->back();
    }

    bool place(json&& value) {
        if (kept()) {
            add(std::move(value));
        }
        return true;
    }

    // An array with something else than strings holds its earlier strings as values after all.
    void keepAsValues(Open& array) {
        if (!array.textsOnly) {
            return;
        }
        array.textsOnly = false;
        auto& ends = document_.ends_;
        size_t begin = array.firstText;
        for (size_t index = array.firstEnd; index < ends.size(); ++index) {
            array.value->push_back(texts_.substr(begin, ends[index] - begin));
            begin = ends[index] + 1;
        }
        ends.resize(array.firstEnd);
        texts_.resize(array.firstText);
    }

    bool openContainer(json&& container) {
        if (kept()) {
            const bool array = container.is_array();
            json* value = add(std::move(container));
            open_.push_back({value, array, document_.ends_.size(), texts_.size()});
        }
        ++depth_;
        return true;
    }

    bool closeContainer() {
        --depth_;
        if (!kept()) {
            return true;
        }
        const Open closed = open_.back();
        open_.pop_back();
        const size_t count = document_.ends_.size() - closed.firstEnd;
        if (closed.textsOnly && count > 0) {
            document_.lists_.push_back({closed.firstEnd, count});
            *closed.value =
                json::binary(json::binary_t::container_type{}, document_.lists_.size() - 1);
        }
        return true;
    }

    LineDocument& document_;
    std::string texts_;
    std::vector<Open> open_;
    json* slot_ = nullptr;
    size_t depth_ = 0;
};

std::optional<LineDocument> LineDocument::parse(std::string_view line) {
    LineDocument document;
    Builder builder(document);
    if (!json::sax_parse(line, &builder)) {
        return std::nullopt;
    }
    document.texts_ = std::make_shared<const std::string>(builder.takeTexts());
    return document;
}

bool LineDocument::isTextList(const json& value) {
    return value.is_binary();
}

size_t LineDocument::textCount(const json& list) const {
    return lists_[list.get_binary().subtype()].count;
}

std::string_view LineDocument::text(const json& list, size_t index) const {
    const size_t position = lists_[list.get_binary().subtype()].first + index;
    const size_t begin = position == 0 ? 0 : ends_[position - 1] + size_t{1};
    return std::string_view(*texts_).substr(begin, ends_[position] - begin);
}

} // namespace vorla::endpoint_security
