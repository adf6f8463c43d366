#include "platform/endpoint_security/LineDocument.hpp"

#include <algorithm>

namespace vorla::endpoint_security {

std::string_view LineDocument::Value::string() const {
    return {document_->texts_.data() + node().bits, node().size};
}

// Each member is its name followed by its value. Names are short and most differ in length or
// first byte, so a plain loop compares them faster than a call of the library would.
LineDocument::Value LineDocument::Value::member(std::string_view name) const {
    if (!is(Kind::object)) {
        return {};
    }
    const std::vector<Node>& nodes = document_->nodes_;
    const char* texts = document_->texts_.data();
    Value found;
    uint32_t nameIndex = index_ + 1;
    for (size_t index = 0; index < size(); ++index) {
        const Node& candidate = nodes[nameIndex];
        if (candidate.size == name.size() &&
            std::equal(name.begin(), name.end(), texts + candidate.bits)) {
            found = {document_, nameIndex + 1};
        }
        nameIndex = nodes[nameIndex + 1].end;
    }
    return found;
}

std::string_view LineDocument::Value::text(size_t index) const {
    const uint32_t* ends = document_->ends_.data() + (node().bits >> 32);
    const size_t begin = index == 0 ? static_cast<uint32_t>(node().bits) : ends[index - 1] + 1;
    return std::string_view(document_->texts_).substr(begin, ends[index] - begin);
}

std::string_view LineDocument::Value::texts() const {
    const size_t begin = static_cast<uint32_t>(node().bits);
    const size_t end = document_->ends_[(node().bits >> 32) + size() - 1];
    return std::string_view(document_->texts_).substr(begin, end - begin);
}

bool LineDocument::parse(std::string_view line) {
    nodes_.clear();
    texts_.clear();
    ends_.clear();
    open_.clear();
    depth_ = 0;
    return line.size() <= maxLineLength && parser_.parse(line, *this);
}

void LineDocument::release() {
    nodes_ = {};
    texts_ = {};
    ends_ = {};
    open_ = {};
    parser_.release();
}

void LineDocument::null() {
    place(Kind::null, 0);
}

void LineDocument::boolean(bool value) {
    place(Kind::boolean, value ? 1 : 0);
}

void LineDocument::integer(int64_t value) {
    place(Kind::integer, static_cast<uint64_t>(value));
}

void LineDocument::unsignedInteger(uint64_t value) {
    place(Kind::unsignedInteger, value);
}

void LineDocument::real(double value) {
    place(Kind::real, std::bit_cast<uint64_t>(value));
}

void LineDocument::string(std::string_view text) {
    if (!kept()) {
        return;
    }
    if (!open_.empty() && open_.back().textsOnly) {
        appendText(text);
        ends_.push_back(static_cast<uint32_t>(texts_.size() - 1));
        ++open_.back().count;
        return;
    }
    add(Kind::string, appendText(text), text.size());
}

void LineDocument::key(std::string_view name) {
    if (!kept()) {
        return;
    }
    // The name is a node of its own, which the value follows.
    ++open_.back().count;
    nodes_.push_back({appendText(name), static_cast<uint32_t>(nodes_.size() + 1),
                      static_cast<uint32_t>(name.size()), Kind::string});
}

void LineDocument::startObject() {
    openContainer(Kind::object);
}

void LineDocument::endObject() {
    closeContainer();
}

void LineDocument::startArray() {
    openContainer(Kind::array);
}

void LineDocument::endArray() {
    closeContainer();
}

void LineDocument::place(Kind kind, uint64_t bits) {
    if (kept()) {
        add(kind, bits);
    }
}

void LineDocument::add(Kind kind, uint64_t bits, size_t size) {
    if (!open_.empty() && !open_.back().object) {
        keepAsValues(open_.back());
        ++open_.back().count;
    }
    nodes_.push_back(
        {bits, static_cast<uint32_t>(nodes_.size() + 1), static_cast<uint32_t>(size), kind});
}

// An array with something else than strings holds its earlier strings as values after all;
// they follow it at once, as it holds nothing else yet.
void LineDocument::keepAsValues(Open& array) {
    if (!array.textsOnly) {
        return;
    }
    array.textsOnly = false;
    uint32_t begin = array.firstText;
    for (size_t index = array.firstEnd; index < ends_.size(); ++index) {
        nodes_.push_back(
            {begin, static_cast<uint32_t>(nodes_.size() + 1), ends_[index] - begin, Kind::string});
        begin = ends_[index] + 1;
    }
    ends_.resize(array.firstEnd);
}

void LineDocument::openContainer(Kind kind) {
    if (kept()) {
        add(kind, 0);
        open_.push_back({static_cast<uint32_t>(nodes_.size() - 1), 0, kind == Kind::object,
                         kind == Kind::array, static_cast<uint32_t>(ends_.size()),
                         static_cast<uint32_t>(texts_.size())});
    }
    ++depth_;
}

void LineDocument::closeContainer() {
    --depth_;
    if (!kept()) {
        return;
    }
    const Open closed = open_.back();
    open_.pop_back();
    Node& node = nodes_[closed.node];
    node.end = static_cast<uint32_t>(nodes_.size());
    node.size = closed.count;
    if (closed.textsOnly && closed.count > 0) {
        node.kind = Kind::textList;
        node.bits = uint64_t{closed.firstEnd} << 32 | closed.firstText;
    }
}

uint32_t LineDocument::appendText(std::string_view text) {
    const auto begin = static_cast<uint32_t>(texts_.size());
    texts_.append(text);
    texts_.push_back('\0');
    return begin;
}

} // namespace vorla::endpoint_security
