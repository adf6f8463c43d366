#include "extension/SharedDateFormatter.hpp"

namespace vorla::extension {

std::shared_ptr<const foundation::DateFormatter> makeSharedDateFormatter() {
    auto formatter = std::make_shared<foundation::DateFormatter>();
    formatter->setLocale("en_US_POSIX");
    formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ");
    formatter->setTimeZone("UTC");
    return formatter;
}

} // namespace vorla::extension
