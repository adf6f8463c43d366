#include "platform/preferences/ProfileFile.hpp"

#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/preferences/PropertyListBounds.hpp"

namespace vorla::preferences {

std::optional<std::string> profileBytes(const std::string& path) {
    try {
        const foundation::OpenedFile file = foundation::openTrustedFile(path);
        return foundation::readToEnd(file.descriptor.get(), path, maximumPropertyListSize);
    } catch (const foundation::FoundationError&) {
        return std::nullopt;
    }
}

} // namespace vorla::preferences
