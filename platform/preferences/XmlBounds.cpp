#include "platform/preferences/PropertyListBounds.hpp"

namespace vorla::preferences {

namespace {

constexpr auto npos = std::string_view::npos;

// The position just past the '>' that closes the markup starting at `from`, skipping quoted
// attribute values, which may hold a '>' themselves. npos when the markup never closes.
std::size_t pastMarkup(std::string_view bytes, std::size_t from) {
    char quote = 0;
    for (std::size_t at = from; at < bytes.size(); ++at) {
        const char current = bytes[at];
        if (quote) {
            quote = current == quote ? 0 : quote;
        } else if (current == '"' || current == '\'') {
            quote = current;
        } else if (current == '>') {
            return at + 1;
        }
    }
    return npos;
}

// The position just past `terminator`, searched from `from`; npos when it never comes.
std::size_t pastText(std::string_view bytes, std::size_t from, std::string_view terminator) {
    const auto found = bytes.find(terminator, from);
    return found == npos ? npos : found + terminator.size();
}

bool isContainer(std::string_view tag) {
    const auto name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
    return name == "array" || name == "dict";
}

} // namespace

bool xmlWithinBounds(std::string_view bytes) {
    // Besides the arrays and dictionaries, the root <plist> and the leaf in the deepest container
    // may be open; any other element nests no deeper than they do.
    constexpr int maximumOpenElements = maximumNesting + 2;
    int openElements = 0;
    int openContainers = 0;
    std::uint64_t elements = 0;
    for (std::size_t at = bytes.find('<'); at != npos; at = bytes.find('<', at)) {
        const auto markup = bytes.substr(at);
        if (markup.starts_with("<!--")) {
            at = pastText(bytes, at + 4, "-->");
        } else if (markup.starts_with("<![CDATA[")) {
            at = pastText(bytes, at + 9, "]]>");
        } else if (markup.starts_with("<?")) {
            at = pastText(bytes, at + 2, "?>");
        } else if (markup.starts_with("<!")) {
            // A document type with an internal subset could declare entities that expand.
            const auto end = pastMarkup(bytes, at + 2);
            if (end != npos && bytes.substr(at, end - at).find('[') != npos) {
                return false;
            }
            at = end;
        } else {
            const auto end = pastMarkup(bytes, at + 1);
            if (end == npos) {
                return false;
            }
            const auto tag = bytes.substr(at + 1, end - at - 2);
            if (tag.starts_with('/')) {
                openContainers -= isContainer(tag.substr(1)) ? 1 : 0;
                if (--openElements < 0 || openContainers < 0) {
                    return false;
                }
            } else if (++elements > maximumExpandedObjects) {
                return false;
            } else if (!tag.ends_with('/')) {
                openContainers += isContainer(tag) ? 1 : 0;
                if (++openElements > maximumOpenElements || openContainers > maximumNesting) {
                    return false;
                }
            }
            at = end;
        }
        if (at == npos) {
            return false;
        }
    }
    return true;
}

} // namespace vorla::preferences
