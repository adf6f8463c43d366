#include "sinks/LogFormattable.hpp"

namespace vorla {

std::string LogFormattable::moduleName(std::string_view file) {
    return std::string(file.substr(0, file.find('/')));
}

std::string LogFormattable::fileName(std::string_view file) {
    const auto slash = file.rfind('/');
    return std::string(slash == std::string_view::npos ? file : file.substr(slash + 1));
}

std::string dateFormatter(foundation::Date date, const foundation::DateFormatter& withFormatter) {
    return withFormatter.string(date);
}

std::string dateFormatter(foundation::Date date, foundation::DateFormatter& withFormatter,
                          std::string_view locale, std::string_view dateFormat,
                          std::string_view timeZone) {
    withFormatter.setLocale(locale);
    withFormatter.setDateFormat(dateFormat);
    withFormatter.setTimeZone(timeZone);
    return withFormatter.string(date);
}

} // namespace vorla
