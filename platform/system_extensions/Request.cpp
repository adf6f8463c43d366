#include "platform/system_extensions/SystemExtensions.hpp"

namespace vorla::system_extensions {

Request::Request(Kind kind, std::string identifier, dispatch::Queue queue)
    : kind_(kind), identifier_(std::move(identifier)), queue_(std::move(queue)) {}

std::shared_ptr<Request> Request::propertiesRequest(std::string identifier, dispatch::Queue queue) {
    return std::shared_ptr<Request>(
        new Request(Kind::properties, std::move(identifier), std::move(queue)));
}

std::shared_ptr<Request> Request::activationRequest(std::string identifier, dispatch::Queue queue) {
    return std::shared_ptr<Request>(
        new Request(Kind::activation, std::move(identifier), std::move(queue)));
}

std::shared_ptr<Request> Request::deactivationRequest(std::string identifier,
                                                      dispatch::Queue queue) {
    return std::shared_ptr<Request>(
        new Request(Kind::deactivation, std::move(identifier), std::move(queue)));
}

} // namespace vorla::system_extensions
