#include "app/ui/MainQueueBridge.hpp"

#include "platform/dispatch/Dispatch.hpp"

#include <QCoreApplication>
#include <QMetaObject>

#include <mutex>

namespace vorla::app {

struct MainQueueBridge::Target {
    std::mutex mutex;
    QCoreApplication* application;
};

MainQueueBridge::MainQueueBridge(QCoreApplication& application)
    : target_(std::make_shared<Target>()) {
    target_->application = &application;
    dispatch::setMainQueueWakeup([target = target_] {
        const std::lock_guard lock(target->mutex);
        if (target->application) {
            QMetaObject::invokeMethod(
                target->application, [] { dispatch::runMainQueueItems(); }, Qt::QueuedConnection);
        }
    });
    // Work that was queued before the bridge existed runs as soon as the loop starts.
    QMetaObject::invokeMethod(
        &application, [] { dispatch::runMainQueueItems(); }, Qt::QueuedConnection);
}

MainQueueBridge::~MainQueueBridge() {
    dispatch::setMainQueueWakeup(nullptr);
    const std::lock_guard lock(target_->mutex);
    target_->application = nullptr;
}

} // namespace vorla::app
