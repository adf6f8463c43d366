#include "platform/foundation/UUID.hpp"

#include <uuid/uuid.h>

namespace vorla::foundation {

UUID::UUID() {
    uuid_generate_random(bytes_.data());
}

std::string UUID::uuidString() const {
    char text[37] = {};
    uuid_unparse_lower(bytes_.data(), text);
    return text;
}

} // namespace vorla::foundation
