#include "extension/ErrorLogFormatter.hpp"

#include <utility>

namespace vorla::extension {

ErrorLogFormatter::ErrorLogFormatter(std::shared_ptr<const foundation::DateFormatter> dateFormat)
    : dateFormat_(std::move(dateFormat)) {}

std::string ErrorLogFormatter::formatMessage(LogLevel, std::string_view message, std::string_view,
                                             std::string_view, std::string_view, std::uint64_t,
                                             const FacadeInfo&, std::string_view,
                                             foundation::Date date, std::uint64_t) const {
    std::string line = dateFormatter(date, *dateFormat_);
    line += ' ';
    line += message;
    return line;
}

} // namespace vorla::extension
