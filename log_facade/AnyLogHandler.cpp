#include "log_facade/AnyLogHandler.hpp"

#include "log_facade/LogHandler.hpp"

namespace vorla::logging {

AnyLogHandler::AnyLogHandler(const AnyLogHandler& other)
    : handler_(other.handler_ ? other.copy_(*other.handler_) : nullptr), copy_(other.copy_) {}

AnyLogHandler& AnyLogHandler::operator=(const AnyLogHandler& other) {
    if (this != &other) {
        *this = AnyLogHandler(other);
    }
    return *this;
}

AnyLogHandler::AnyLogHandler(AnyLogHandler&& other) noexcept = default;

AnyLogHandler& AnyLogHandler::operator=(AnyLogHandler&& other) noexcept = default;

AnyLogHandler::~AnyLogHandler() = default;

} // namespace vorla::logging
