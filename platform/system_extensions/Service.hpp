#pragma once

#include "platform/system_extensions/Registry.hpp"
#include "platform/system_extensions/SystemExtensions.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace vorla::system_extensions {

// How the service behaves; the shared service takes it from the environment.
struct ServiceSettings {
    std::string registryPath;
    // The extension's program, started on activation.
    std::string extensionProgram;
    // An activation of an extension that is not enabled waits for the user's approval.
    bool approvalRequired = false;
    // Every request fails with this code instead of being carried out.
    std::optional<long> failureCode;
    // The result of every finished request.
    RequestResult result = RequestResult::completed;
    // How long a stopped extension may take to end before it is killed.
    std::chrono::milliseconds stopGracePeriod{std::chrono::seconds(20)};
    // How long a request waits for another one to give the registry's lock back.
    std::chrono::milliseconds lockWait{std::chrono::seconds(10)};
    // Writes the registry; a test gives one that fails.
    std::shared_ptr<const foundation::FileManager> fileManager =
        foundation::FileManager::defaultManager();

    // VORLA_ROOT, VORLA_SYSEXT_APPROVAL, VORLA_SYSEXT_ERROR, VORLA_SYSEXT_RESULT and the
    // extension program beside the running program.
    static ServiceSettings fromEnvironment();
};

// The service over the registry file. Requests are carried out one at a time on a queue of
// its own; every answer goes to the request's queue.
class Service final : public Manager {
public:
    explicit Service(ServiceSettings settings);

    void submitRequest(std::shared_ptr<Request> request) override;

    struct Context;

private:
    std::shared_ptr<const Context> context_;
};

} // namespace vorla::system_extensions
