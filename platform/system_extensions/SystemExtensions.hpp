#pragma once

#include "platform/dispatch/Dispatch.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The system-extension service: the app asks it to activate, deactivate or describe an
// extension by bundle identifier, and hears the outcome through a delegate, asynchronously,
// on the queue the request was made with.
namespace vorla::system_extensions {

// What the service knows about one installed copy of an extension.
struct Properties {
    std::string bundleIdentifier;
    bool isEnabled = false;
    bool isAwaitingUserApproval = false;

    friend bool operator==(const Properties&, const Properties&) = default;
};

// The delegate's answer when an installed copy is about to be replaced.
enum class ReplacementAction : int { cancel = 0, replace = 1 };

// The result of a finished request. Other numbers than the two named ones can be reported.
enum class RequestResult : long { completed = 0, willCompleteAfterReboot = 1 };

// The service's own failure codes.
enum class ErrorCode : long {
    unknown = 1,
    missingEntitlement = 2,
    unsupportedParentBundleLocation = 3,
    extensionNotFound = 4,
    extensionMissingIdentifier = 5,
    duplicateExtensionIdentifer = 6,
    unknownExtensionCategory = 7,
    codeSignatureInvalid = 8,
    validationFailed = 9,
    forbiddenBySystemPolicy = 10,
    requestCanceled = 11,
    requestSuperseded = 12,
    authorizationRequired = 13,
};

inline constexpr std::string_view errorDomain = "OSSystemExtensionErrorDomain";

// A failure reported to the delegate. Only an error of errorDomain carries one of the
// service's codes; errors of other domains can reach a delegate too.
struct Error {
    std::string domain;
    long code = 0;

    static Error systemExtensionError(long code) { return Error{std::string(errorDomain), code}; }
    bool isSystemExtensionError() const { return domain == errorDomain; }
};

class Request;

// The five answers a request can give. All are called on the request's queue.
class RequestDelegate {
public:
    virtual ~RequestDelegate() = default;

    virtual ReplacementAction actionForReplacingExtension(const Request& request,
                                                          const Properties& existing,
                                                          const Properties& replacement) = 0;
    virtual void requestNeedsUserApproval(const Request& request) = 0;
    virtual void didFinishWithResult(const Request& request, RequestResult result) = 0;
    virtual void didFailWithError(const Request& request, const Error& error) = 0;
    virtual void foundProperties(const Request& request,
                                 const std::vector<Properties>& properties) = 0;
};

class Request {
public:
    enum class Kind { properties, activation, deactivation };

    static std::shared_ptr<Request> propertiesRequest(std::string identifier,
                                                      dispatch::Queue queue);
    static std::shared_ptr<Request> activationRequest(std::string identifier,
                                                      dispatch::Queue queue);
    static std::shared_ptr<Request> deactivationRequest(std::string identifier,
                                                        dispatch::Queue queue);

    Kind kind() const { return kind_; }
    const std::string& identifier() const { return identifier_; }
    const dispatch::Queue& queue() const { return queue_; }

    // The delegate is held weakly, as its owner usually also owns the requests it makes.
    void setDelegate(std::weak_ptr<RequestDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<RequestDelegate> delegate() const { return delegate_.lock(); }

private:
    Request(Kind kind, std::string identifier, dispatch::Queue queue);

    Kind kind_;
    std::string identifier_;
    dispatch::Queue queue_;
    std::weak_ptr<RequestDelegate> delegate_;
};

// Takes requests and answers them through their delegates.
class Manager {
public:
    virtual ~Manager() = default;
    virtual void submitRequest(std::shared_ptr<Request> request) = 0;

    // The service of this machine, configured from the environment at first use.
    static Manager& shared();
};

} // namespace vorla::system_extensions
