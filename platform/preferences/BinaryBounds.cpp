#include "platform/preferences/PropertyListBounds.hpp"

#include <algorithm>
#include <optional>
#include <vector>

namespace vorla::preferences {

namespace {

constexpr std::size_t headerSize = 8; // "bplist00"
constexpr std::size_t trailerSize = 32;

// A binary list refers to its objects by index through an offset table; the trailer at the end
// says where that table lies and how wide its entries and the references are.
struct Layout {
    unsigned offsetWidth = 0;
    unsigned referenceWidth = 0;
    std::uint64_t objectCount = 0;
    std::uint64_t topObject = 0;
    std::uint64_t tableOffset = 0;
};

// An object as far as the bounds care: the references it holds and its string or data bytes.
struct Object {
    std::uint64_t referencesAt = 0;
    std::uint64_t referenceCount = 0;
    std::uint64_t payload = 0;
};

// What the walk knows of an object: whether it is being expanded or done, and then how many
// objects and payload bytes its expansion holds and how deep it nests below itself.
struct Expansion {
    enum class State : std::uint8_t { unseen, open, done } state = State::unseen;
    std::uint64_t objects = 0;
    std::uint64_t payload = 0;
    int height = 0;
};

struct Frame {
    std::uint64_t index;
    Object object;
    std::uint64_t next = 0;
};

class BinaryList {
public:
    explicit BinaryList(std::string_view bytes) : bytes_(bytes) {}

    bool withinBounds() {
        if (!readLayout()) {
            return false;
        }
        expansions_.assign(layout_.objectCount, Expansion{});
        if (!enter(layout_.topObject)) {
            return false;
        }
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.next == frame.object.referenceCount) {
                const std::uint64_t finished = frame.index;
                expansions_[finished].state = Expansion::State::done;
                stack_.pop_back();
                if (!stack_.empty() && !addToParent(finished)) {
                    return false;
                }
                continue;
            }
            const auto child =
                number(frame.object.referencesAt + frame.next * layout_.referenceWidth,
                       layout_.referenceWidth);
            ++frame.next;
            if (!enter(child)) {
                return false;
            }
        }
        return true;
    }

private:
    std::uint64_t number(std::uint64_t at, unsigned width) const {
        std::uint64_t value = 0;
        for (unsigned byte = 0; byte < width; ++byte) {
            value = value << 8 | static_cast<std::uint8_t>(bytes_[at + byte]);
        }
        return value;
    }

    bool readLayout() {
        if (bytes_.size() < headerSize + trailerSize) {
            return false;
        }
        const std::uint64_t trailer = bytes_.size() - trailerSize;
        layout_.offsetWidth = static_cast<std::uint8_t>(bytes_[trailer + 6]);
        layout_.referenceWidth = static_cast<std::uint8_t>(bytes_[trailer + 7]);
        layout_.objectCount = number(trailer + 8, 8);
        layout_.topObject = number(trailer + 16, 8);
        layout_.tableOffset = number(trailer + 24, 8);
        const auto validWidth = [](unsigned width) { return width >= 1 && width <= 8; };
        // Objects lie between the header and the table; the table ends before the trailer.
        return validWidth(layout_.offsetWidth) && validWidth(layout_.referenceWidth) &&
               layout_.tableOffset >= headerSize && layout_.tableOffset <= trailer &&
               layout_.objectCount <= (trailer - layout_.tableOffset) / layout_.offsetWidth &&
               layout_.topObject < layout_.objectCount;
    }

    // The object at `index`, or none when it or its references lie outside the object area.
    std::optional<Object> object(std::uint64_t index) const {
        const std::uint64_t end = layout_.tableOffset;
        const std::uint64_t at =
            number(layout_.tableOffset + index * layout_.offsetWidth, layout_.offsetWidth);
        if (at < headerSize || at >= end) {
            return std::nullopt;
        }
        const auto marker = static_cast<std::uint8_t>(bytes_[at]);
        std::uint64_t count = marker & 0x0FU;
        std::uint64_t contentAt = at + 1;
        if (count == 0x0F) {
            // The count follows as an integer object of 1, 2, 4 or 8 bytes.
            if (contentAt >= end ||
                (static_cast<std::uint8_t>(bytes_[contentAt]) & 0xF0U) != 0x10) {
                return std::nullopt;
            }
            const unsigned width = 1U << (bytes_[contentAt] & 0x0F);
            if (width > 8 || end - contentAt - 1 < width) {
                return std::nullopt;
            }
            count = number(contentAt + 1, width);
            contentAt += 1 + width;
        }
        const auto capped = std::min(count, maximumExpandedPayload + 1);
        switch (marker >> 4) {
        case 0x4: // data
        case 0x5: // ASCII string
        case 0x7: // UTF-8 string
            return Object{.payload = capped};
        case 0x6: // UTF-16 string, two bytes a character
            return Object{.payload = 2 * capped};
        case 0xA: // array
        case 0xC: // set
            break;
        case 0xD: // dictionary: the keys, then the values
            if (count > (end - contentAt) / 2) {
                return std::nullopt;
            }
            count *= 2;
            break;
        default:
            return Object{};
        }
        if (count > (end - contentAt) / layout_.referenceWidth) {
            return std::nullopt;
        }
        return Object{.referencesAt = contentAt, .referenceCount = count};
    }

    // Steps from the top of the stack (or from nowhere, for the top object) into `index`.
    bool enter(std::uint64_t index) {
        if (index >= layout_.objectCount) {
            return false;
        }
        Expansion& expansion = expansions_[index];
        if (expansion.state == Expansion::State::open) {
            return false; // a cycle would expand without end
        }
        if (expansion.state == Expansion::State::unseen) {
            const auto found = object(index);
            if (!found) {
                return false;
            }
            expansion.objects = 1;
            expansion.payload = found->payload;
            if (found->referenceCount > 0) {
                // The new object's depth is the number of its ancestors.
                if (stack_.size() >= static_cast<std::size_t>(maximumNesting)) {
                    return false;
                }
                expansion.state = Expansion::State::open;
                stack_.push_back(Frame{index, *found});
                return true;
            }
            expansion.state = Expansion::State::done;
        }
        return stack_.empty() || addToParent(index);
    }

    // Counts a finished object once more in its parent on top of the stack, as the library copies
    // it there; refused as soon as any bound is passed, since the top object holds it all.
    bool addToParent(std::uint64_t index) {
        const Expansion& child = expansions_[index];
        Expansion& parent = expansions_[stack_.back().index];
        if (stack_.size() + static_cast<std::size_t>(child.height) >
            static_cast<std::size_t>(maximumNesting)) {
            return false;
        }
        parent.height = std::max(parent.height, child.height + 1);
        parent.objects += child.objects;
        parent.payload += child.payload;
        return parent.objects <= maximumExpandedObjects && parent.payload <= maximumExpandedPayload;
    }

    std::string_view bytes_;
    Layout layout_;
    std::vector<Expansion> expansions_;
    std::vector<Frame> stack_;
};

} // namespace

bool binaryWithinBounds(std::string_view bytes) {
    return BinaryList(bytes).withinBounds();
}

} // namespace vorla::preferences
