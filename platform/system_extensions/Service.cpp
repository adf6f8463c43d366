#include "platform/system_extensions/Service.hpp"
#include "platform/system_extensions/ExtensionProcess.hpp"
#include "platform/system_extensions/RequestLock.hpp"

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
    // Shared by every process of this registry; changes under it, as the context is const.
    std::unique_ptr<RequestLock> lock;
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

bool runsExtension(const RegistryRecord& record) {
    return record.process && isRunning(*record.process);
}

// An enabled record stands for a running extension. When that process has ended (or its id
// now names another process) the record is stale: it is dropped and the file rewritten, so
// nobody is told the extension runs and a new activation starts it again.
Records liveRecords(const Context& context) {
    Records records = context.registry.load();
    const auto stale = std::remove_if(records.begin(), records.end(), [&](const auto& record) {
        return (record.properties.isEnabled || record.process) && !runsExtension(record);
    });
    if (stale != records.end()) {
        records.erase(stale, records.end());
        context.registry.save(records);
    }
    return records;
}

void stopRecordedProcess(const Context& context, const RegistryRecord& record) {
    if (record.process) {
        stopExtensionProcess(*record.process, context.settings.stopGracePeriod);
    }
}

// The lock stays held until the delegate has handled the answer: a caller that reads the
// properties and acts on them at once (activates what it found missing) does both before
// another process may act, so two racing callers never both find the extension missing.
void answerProperties(const ContextPointer& context, const RequestPointer& request) {
    std::vector<Properties> properties;
    for (const RegistryRecord& record : liveRecords(*context)) {
        properties.push_back(record.properties);
    }
    context->lock->acquire();
    request->queue().async([context, request, properties] {
        if (const auto delegate = request->delegate()) {
            delegate->foundProperties(*request, properties);
        }
        // Queued behind whatever the delegate just submitted.
        context->work.async([context] { context->lock->release(); });
    });
}

// Replaces any running copy by a new process and records it as enabled. The request finishes
// once the new process is past its start-up; one that ends before is recorded as ended (its
// record removed) and fails the request, and the reason it ended is in the system log.
void install(const Context& context, const RequestPointer& request) {
    Records records = liveRecords(context);
    if (const auto found = findRecord(records, request->identifier()); found != records.end()) {
        stopRecordedProcess(context, *found);
    }
    const std::string& program = context.settings.extensionProgram;
    std::optional<StartedProcess> started;
    try {
        started = startExtensionProcess(program);
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "vorla: %s\n", error.what());
        failWith(request, ErrorCode::extensionNotFound);
        return;
    }
    // Recorded before its start-up is awaited: should this request be interrupted, a later
    // one still knows the process.
    storeRecord(records, {{request->identifier(), true, false}, started->identity});
    try {
        context.registry.save(records);
    } catch (...) {
        // An extension the registry does not know could never be stopped again.
        stopExtensionProcess(started->identity, context.settings.stopGracePeriod);
        throw;
    }
    if (const auto ended = waitForStartUp(*started)) {
        records.erase(findRecord(records, request->identifier()));
        context.registry.save(records);
        throw std::runtime_error(program + " ended during its start-up with " + *ended +
                                 "; the reason is in the system log");
    }
    finish(context, request);
}

void activate(const ContextPointer& context, const RequestPointer& request) {
    Records records = liveRecords(*context);
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
                const RequestLock::Hold hold(*context->lock);
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
    Records records = liveRecords(context);
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
        answerProperties(context, request);
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

Service::Service(ServiceSettings settings) {
    Registry registry(settings.registryPath, settings.fileManager);
    auto lock = std::make_unique<RequestLock>(registry, settings.lockWait);
    context_ = std::make_shared<const Context>(
        Context{std::move(settings), std::move(registry),
                dispatch::Queue("com.vorla.system-extensions"), std::move(lock)});
}

void Service::submitRequest(std::shared_ptr<Request> request) {
    context_->work.async([context = context_, request = std::move(request)] {
        answeringFailures(request, [&] {
            const RequestLock::Hold hold(*context->lock);
            carryOut(context, request);
        });
    });
}

Manager& Manager::shared() {
    // Never destroyed: requests may still be answered while the process exits.
    static Service* const service = new Service(ServiceSettings::fromEnvironment());
    return *service;
}

} // namespace vorla::system_extensions
