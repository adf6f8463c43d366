#include "platform/system_extensions/Service.hpp"
#include "platform/system_extensions/ExtensionProcess.hpp"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <system_error>

namespace vorla::system_extensions {

struct Service::Context {
    ServiceSettings settings;
    Registry registry;
    dispatch::Queue work;
};

namespace {

using Context = Service::Context;
using ContextPointer = std::shared_ptr<const Context>;
using RequestPointer = std::shared_ptr<Request>;
using Records = std::vector<RegistryRecord>;

// Hands one answer to the request's delegate on the request's queue. A delegate that no
// longer exists hears nothing.
template <typename Answer> void deliver(const RequestPointer& request, Answer answer) {
    request->queue().async([request, answer] {
        if (const auto delegate = request->delegate()) {
            answer(*delegate, *request);
        }
    });
}

void fail(const RequestPointer& request, long code) {
    deliver(request, [code](RequestDelegate& delegate, const Request& failed) {
        delegate.didFailWithError(failed, Error::systemExtensionError(code));
    });
}

void failWith(const RequestPointer& request, ErrorCode code) {
    fail(request, static_cast<long>(code));
}

void finish(const Context& context, const RequestPointer& request) {
    const RequestResult result = context.settings.result;
    deliver(request, [result](RequestDelegate& delegate, const Request& finished) {
        delegate.didFinishWithResult(finished, result);
    });
}

// A request whose work throws fails with the matching code, so its delegate always hears.
void answeringFailures(const RequestPointer& request, const std::function<void()>& work) {
    try {
        work();
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "vorla: %s\n", error.what());
        failWith(request, error.code() == std::errc::operation_not_permitted
                              ? ErrorCode::authorizationRequired
                              : ErrorCode::unknown);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorla: %s\n", error.what());
        failWith(request, ErrorCode::unknown);
    }
}

Records::iterator findRecord(Records& records, const std::string& identifier) {
    return std::find_if(records.begin(), records.end(), [&](const RegistryRecord& record) {
        return record.properties.bundleIdentifier == identifier;
    });
}

void storeRecord(Records& records, RegistryRecord record) {
    const auto found = findRecord(records, record.properties.bundleIdentifier);
    if (found == records.end()) {
        records.push_back(std::move(record));
    } else {
        *found = std::move(record);
    }
}

void stopRecordedProcess(const Context& context, const RegistryRecord& record) {
    if (record.pid && runsProgram(*record.pid, context.settings.extensionProgram)) {
        stopExtensionProcess(*record.pid, context.settings.stopGracePeriod);
    }
}

void answerProperties(const Context& context, const RequestPointer& request) {
    std::vector<Properties> properties;
    for (const RegistryRecord& record : context.registry.load()) {
        properties.push_back(record.properties);
    }
    deliver(request, [properties](RequestDelegate& delegate, const Request& asked) {
        delegate.foundProperties(asked, properties);
    });
}

// Replaces any running copy by a new process and records it as enabled.
void install(const Context& context, const RequestPointer& request) {
    Records records = context.registry.load();
    if (const auto found = findRecord(records, request->identifier()); found != records.end()) {
        stopRecordedProcess(context, *found);
    }
    pid_t pid = 0;
    try {
        pid = startExtensionProcess(context.settings.extensionProgram);
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "vorla: %s\n", error.what());
        failWith(request, ErrorCode::extensionNotFound);
        return;
    }
    storeRecord(records, {{request->identifier(), true, false}, pid});
    try {
        context.registry.save(records);
    } catch (...) {
        // An extension the registry does not know could never be stopped again.
        stopExtensionProcess(pid, context.settings.stopGracePeriod);
        throw;
    }
    finish(context, request);
}

void activate(const ContextPointer& context, const RequestPointer& request) {
    Records records = context->registry.load();
    const auto found = findRecord(records, request->identifier());
    const bool enabled = found != records.end() && found->properties.isEnabled;
    if (context->settings.approvalRequired && !enabled) {
        storeRecord(records, {{request->identifier(), false, true}, std::nullopt});
        context->registry.save(records);
        deliver(request, [](RequestDelegate& delegate, const Request& pending) {
            delegate.requestNeedsUserApproval(pending);
        });
        return;
    }
    if (!enabled) {
        install(*context, request);
        return;
    }
    const Properties existing = found->properties;
    const Properties replacement{request->identifier(), true, false};
    deliver(request, [context, request, existing, replacement](RequestDelegate& delegate,
                                                               const Request& asking) {
        const ReplacementAction action =
            delegate.actionForReplacingExtension(asking, existing, replacement);
        context->work.async([context, request, action] {
            answeringFailures(request, [&] {
                if (action == ReplacementAction::replace) {
                    install(*context, request);
                } else {
                    failWith(request, ErrorCode::requestCanceled);
                }
            });
        });
    });
}

void deactivate(const Context& context, const RequestPointer& request) {
    Records records = context.registry.load();
    if (const auto found = findRecord(records, request->identifier()); found != records.end()) {
        stopRecordedProcess(context, *found);
        records.erase(found);
        context.registry.save(records);
    }
    finish(context, request);
}

void carryOut(const ContextPointer& context, const RequestPointer& request) {
    if (context->settings.failureCode) {
        fail(request, *context->settings.failureCode);
        return;
    }
    switch (request->kind()) {
    case Request::Kind::properties:
        answerProperties(*context, request);
        break;
    case Request::Kind::activation:
        activate(context, request);
        break;
    case Request::Kind::deactivation:
        deactivate(*context, request);
        break;
    }
}

} // namespace

Service::Service(ServiceSettings settings)
    : context_(std::make_shared<const Context>(
          Context{settings, Registry(settings.registryPath),
                  dispatch::Queue("com.vorla.system-extensions")})) {}

void Service::submitRequest(std::shared_ptr<Request> request) {
    context_->work.async([context = context_, request = std::move(request)] {
        answeringFailures(request, [&] { carryOut(context, request); });
    });
}

Manager& Manager::shared() {
    // Never destroyed: requests may still be answered while the process exits.
    static Service* const service = new Service(ServiceSettings::fromEnvironment());
    return *service;
}

} // namespace vorla::system_extensions
