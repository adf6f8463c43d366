#pragma once

#include "platform/system_extensions/SystemExtensions.hpp"

#include <memory>
#include <vector>

// A stand-in for the system-extension service that only keeps the requests it is given; a
// test plays the service's part by calling the delegate with the answers it wants.
class ScriptedService : public vorla::system_extensions::Manager {
public:
    void submitRequest(std::shared_ptr<vorla::system_extensions::Request> request) override {
        requests.push_back(std::move(request));
    }

    std::vector<vorla::system_extensions::Request::Kind> kinds() const {
        std::vector<vorla::system_extensions::Request::Kind> result;
        for (const auto& request : requests) {
            result.push_back(request->kind());
        }
        return result;
    }

    std::vector<std::shared_ptr<vorla::system_extensions::Request>> requests;
};
