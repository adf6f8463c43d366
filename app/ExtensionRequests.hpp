#pragma once

#include "platform/system_extensions/SystemExtensions.hpp"

#include <memory>
#include <string>

namespace vorla::app {

// What the command-line loader and the menu bar's manager share: the requests about vorla's
// extension, each answered on the main queue to the object that submitted it. Each of the two
// supplies only its answers to the delegate callbacks.
class ExtensionRequests : public system_extensions::RequestDelegate,
                          public std::enable_shared_from_this<ExtensionRequests> {
public:
    const std::string extensionIdentifier;

    void requestProperties();
    void deactivate();

protected:
    explicit ExtensionRequests(system_extensions::Manager& service);

    void submitActivation();

private:
    void submit(std::shared_ptr<system_extensions::Request> request);

    system_extensions::Manager& service_;
};

} // namespace vorla::app
