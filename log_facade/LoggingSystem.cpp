#include "log_facade/LoggingSystem.hpp"

#include "log_facade/ReadWriteLock.hpp"
#include "log_facade/StreamLogHandler.hpp"

#include <cstdlib>
#include <mutex>
#include <shared_mutex>

namespace vorla::logging {

namespace {

struct FactoryBox {
    ReadWriteLock lock;
    HandlerFactory _underlying = [](const std::string& label,
                                    const std::optional<logging::MetadataProvider>&) {
        return AnyLogHandler(StreamLogHandler::standardOutput(label));
    };
    bool initialized = false;
};

struct MetadataProviderBox {
    ReadWriteLock lock;
    std::optional<logging::MetadataProvider> _underlying;
    bool initialized = false;
};

// Both boxes are made on first use (a function-local static is safe against concurrent first
// use) and never destroyed, so loggers made by threads that outlive main() still find them.
FactoryBox& factoryBox() {
    static auto* box = new FactoryBox();
    return *box;
}

MetadataProviderBox& metadataProviderBox() {
    static auto* box = new MetadataProviderBox();
    return *box;
}

// Stores `value` into a box that may be set only once; a second time stops the process while
// the writer lock is held, so no other thread sees a half-made setting.
template <typename Box, typename Value> void storeOnce(Box& box, Value value) {
    std::unique_lock guard(box.lock);
    if (box.initialized) {
        std::abort();
    }
    box._underlying = std::move(value);
    box.initialized = true;
}

template <typename Box> auto readSetting(Box& box) {
    std::shared_lock guard(box.lock);
    return box._underlying;
}

} // namespace

void LoggingSystem::bootstrap(LabelHandlerFactory factory) {
    storeOnce(factoryBox(), HandlerFactory([factory = std::move(factory)](
                                               const std::string& label,
                                               const std::optional<logging::MetadataProvider>&) {
                  return factory(label);
              }));
}

void LoggingSystem::bootstrap(HandlerFactory factory,
                              std::optional<logging::MetadataProvider> metadataProvider) {
    storeOnce(metadataProviderBox(), std::move(metadataProvider));
    storeOnce(factoryBox(), std::move(factory));
}

std::optional<logging::MetadataProvider> LoggingSystem::metadataProvider() {
    return readSetting(metadataProviderBox());
}

HandlerFactory LoggingSystem::factory() {
    return readSetting(factoryBox());
}

} // namespace vorla::logging
