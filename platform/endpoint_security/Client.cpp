#include "platform/endpoint_security/Client.hpp"

#include "platform/dispatch/Dispatch.hpp"
#include "platform/endpoint_security/Delivery.hpp"
#include "platform/endpoint_security/Subscription.hpp"
#include "platform/endpoint_security/Trace.hpp"
#include "platform/environment/Environment.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <ctime>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using vorla::endpoint_security::Delivery;
using vorla::endpoint_security::ServiceSettings;
using vorla::endpoint_security::Subscription;
using vorla::endpoint_security::Trace;

struct es_client_s {
    ServiceSettings settings;
    Trace trace;
    es_handler_block_t handler;
    // Shared with the delivery, which reads it on the service thread.
    std::shared_ptr<Subscription> subscription;
    std::shared_ptr<Delivery> delivery;
};

namespace vorla::endpoint_security {

es_new_client_result_t newClient(es_client_t** client, es_handler_block_t handler,
                                 ServiceSettings settings) {
    Trace trace(settings.trace);
    trace.record("es_new_client");
    if (!client || !handler) {
        return ES_NEW_CLIENT_RESULT_ERR_INVALID_ARGUMENT;
    }
    const es_new_client_result_t result = settings.newClientResult;
    if (result != ES_NEW_CLIENT_RESULT_SUCCESS) {
        return result;
    }
    *client = new es_client_s{std::move(settings), std::move(trace), std::move(handler),
                              std::make_shared<Subscription>(), nullptr};
    return result;
}

} // namespace vorla::endpoint_security

namespace {

const ServiceSettings& environmentSettings() {
    static const ServiceSettings settings = ServiceSettings::fromEnvironment();
    return settings;
}

// Messages start to flow with the first successful subscription. A stop of the main loop
// stops the flow and waits for the message in hand, so nothing accepted is lost.
void startDelivery(es_client_t* client) {
    if (client->delivery || !client->settings.source) {
        return;
    }
    client->delivery = std::make_shared<Delivery>(
        *client->settings.source,
        [client, handler = client->handler](const es_message_t* message) {
            handler(client, message);
        },
        [subscription = client->subscription](es_event_type_t type) {
            return subscription->contains(type);
        },
        client->settings.streamEnded);
    vorla::dispatch::onStop([weak = std::weak_ptr<Delivery>(client->delivery)] {
        if (const auto delivery = weak.lock()) {
            delivery->stop();
        }
    });
    client->delivery->start();
}

// Writes one byte without dying of SIGPIPE when the reader is gone (the loader that started
// us was interrupted): the signal is held back for this thread and, when it came, taken.
void writeIgnoringAbsentReader(int descriptor) {
    sigset_t pipeSignal;
    sigset_t before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const char byte = 1;
    ssize_t written = 0;
    while ((written = ::write(descriptor, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (written < 0 && errno == EPIPE) {
        const timespec none{};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// Tells the service that started this process that its start-up is done: one byte on the
// pipe it handed over in VORLA_SYSEXT_READY_FD, which is then closed. Once per process, as the
// descriptor's number may name another file afterwards; and only when it is a pipe, so that a
// variable inherited from elsewhere never writes into a terminal or a log.
void signalReadiness() {
    static std::atomic<bool> signalled{false};
    if (signalled.exchange(true)) {
        return;
    }
    const auto text = vorla::platform::environmentValue("VORLA_SYSEXT_READY_FD");
    int descriptor = -1;
    if (!text || std::from_chars(text->data(), text->data() + text->size(), descriptor).ptr !=
                     text->data() + text->size()) {
        return;
    }
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISFIFO(status.st_mode)) {
        return;
    }
    writeIgnoringAbsentReader(descriptor);
    ::close(descriptor);
}

} // namespace

es_new_client_result_t es_new_client(es_client_t** client, es_handler_block_t handler) {
    return vorla::endpoint_security::newClient(client, std::move(handler), environmentSettings());
}

extern "C" {

es_return_t es_subscribe(es_client_t* client, const es_event_type_t* events, uint32_t event_count) {
    if (!client) {
        return ES_RETURN_ERROR;
    }
    std::string line = "es_subscribe ";
    for (uint32_t i = 0; i < event_count; ++i) {
        line += (i ? "," : "") + std::to_string(events[i]);
    }
    client->trace.record(line);
    if (client->settings.subscribeResult != 0) {
        return ES_RETURN_ERROR;
    }
    client->subscription->add(events, event_count);
    startDelivery(client);
    signalReadiness();
    return ES_RETURN_SUCCESS;
}

es_return_t es_unmute_all_target_paths(es_client_t* client) {
    if (!client) {
        return ES_RETURN_ERROR;
    }
    client->trace.record("es_unmute_all_target_paths");
    return ES_RETURN_SUCCESS;
}

es_return_t es_invert_muting(es_client_t* client, es_mute_inversion_type_t mute_type) {
    if (!client) {
        return ES_RETURN_ERROR;
    }
    client->trace.record("es_invert_muting " + std::to_string(mute_type));
    return ES_RETURN_SUCCESS;
}

es_return_t es_mute_path(es_client_t* client, const char* path, es_mute_path_type_t type) {
    if (!client || !path) {
        return ES_RETURN_ERROR;
    }
    client->trace.record("es_mute_path " + std::to_string(type) + " " + path);
    return ES_RETURN_SUCCESS;
}

es_return_t es_delete_client(es_client_t* client) {
    if (!client) {
        return ES_RETURN_ERROR;
    }
    client->trace.record("es_delete_client");
    if (client->delivery) {
        client->delivery->stop();
    }
    delete client;
    return ES_RETURN_SUCCESS;
}
}
