#pragma once

#include <memory>

class QCoreApplication;

namespace vorla::app {

// Runs the dispatch main queue inside Qt's event loop: whenever work is added to the main
// queue, from any thread, a call of runMainQueueItems() is posted to the application object.
// Ending the bridge detaches it, so a late wakeup never reaches an application that is gone.
class MainQueueBridge {
public:
    explicit MainQueueBridge(QCoreApplication& application);
    ~MainQueueBridge();
    MainQueueBridge(const MainQueueBridge&) = delete;
    MainQueueBridge& operator=(const MainQueueBridge&) = delete;

private:
    struct Target;
    std::shared_ptr<Target> target_;
};

} // namespace vorla::app
