#pragma once

#include <concepts>
#include <memory>

namespace vorla::logging {

class LogHandler;

// A handler of any concrete type, held by value: copying an AnyLogHandler copies the handler,
// so a level or metadata change through one copy never shows through another. (A handler that
// shares state by reference, such as its output stream, still shares it between copies.)
class AnyLogHandler {
public:
    template <std::derived_from<LogHandler> Handler>
    AnyLogHandler(Handler handler)
        : handler_(std::make_unique<Handler>(std::move(handler))), copy_(&copyAs<Handler>) {}

    AnyLogHandler(const AnyLogHandler& other);
    AnyLogHandler& operator=(const AnyLogHandler& other);
    AnyLogHandler(AnyLogHandler&& other) noexcept;
    AnyLogHandler& operator=(AnyLogHandler&& other) noexcept;
    ~AnyLogHandler();

    const LogHandler& operator*() const { return *handler_; }
    const LogHandler* operator->() const { return handler_.get(); }
    LogHandler& operator*() { return *handler_; }
    LogHandler* operator->() { return handler_.get(); }

    // The held handler as a `Handler`, or null when it is of another type.
    template <std::derived_from<LogHandler> Handler> const Handler* as() const {
        return dynamic_cast<const Handler*>(handler_.get());
    }

private:
    template <typename Handler>
    static std::unique_ptr<LogHandler> copyAs(const LogHandler& handler) {
        return std::make_unique<Handler>(static_cast<const Handler&>(handler));
    }

    std::unique_ptr<LogHandler> handler_;
    std::unique_ptr<LogHandler> (*copy_)(const LogHandler&);
};

} // namespace vorla::logging
