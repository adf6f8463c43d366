#include "app/ExtensionRequests.hpp"

#include "app/ExtensionRules.hpp"
#include "platform/dispatch/Dispatch.hpp"

namespace vorla::app {

using system_extensions::Request;

ExtensionRequests::ExtensionRequests(system_extensions::Manager& service)
    : extensionIdentifier(vorlaExtensionIdentifier), service_(service) {}

void ExtensionRequests::submit(std::shared_ptr<Request> request) {
    request->setDelegate(weak_from_this());
    service_.submitRequest(std::move(request));
}

void ExtensionRequests::requestProperties() {
    submit(Request::propertiesRequest(extensionIdentifier, dispatch::mainQueue()));
}

void ExtensionRequests::submitActivation() {
    submit(Request::activationRequest(extensionIdentifier, dispatch::mainQueue()));
}

void ExtensionRequests::deactivate() {
    submit(Request::deactivationRequest(extensionIdentifier, dispatch::mainQueue()));
}

} // namespace vorla::app
