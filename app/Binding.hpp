#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vorla::app {

// A handle to a value that someone else owns: reading gives the owner's current value,
// writing changes it (and so runs the owner's change handlers).
template <typename Value> class Binding {
public:
    Binding(std::function<Value()> get, std::function<void(const Value&)> set)
        : get_(std::move(get)), set_(std::move(set)) {}

    // Reads a fixed value and ignores writes.
    static Binding constant(Value value) {
        return Binding([value] { return value; }, [](const Value&) {});
    }

    Value get() const { return get_(); }
    void set(const Value& value) const { set_(value); }

private:
    std::function<Value()> get_;
    std::function<void(const Value&)> set_;
};

// A value that tells its watchers about every change. Writing the value it already holds is
// no change and runs nothing. Copies share the value.
template <typename Value> class Observable {
public:
    using ChangeHandler = std::function<void(const Value& newValue, const Value& oldValue)>;

    explicit Observable(Value initial = Value()) : shared_(std::make_shared<Shared>(initial)) {}

    Value get() const { return shared_->value; }

    void set(const Value& value) const {
        if (shared_->value == value) {
            return;
        }
        const Value old = std::exchange(shared_->value, value);
        // A handler may add handlers; run the ones that watched when the change happened.
        const std::vector<ChangeHandler> handlers = shared_->handlers;
        for (const ChangeHandler& handler : handlers) {
            handler(value, old);
        }
    }

    void onChange(ChangeHandler handler) const { shared_->handlers.push_back(std::move(handler)); }

    Binding<Value> binding() const {
        return Binding<Value>([shared = shared_] { return shared->value; },
                              [observable = *this](const Value& value) { observable.set(value); });
    }

private:
    struct Shared {
        explicit Shared(Value initial) : value(std::move(initial)) {}
        Value value;
        std::vector<ChangeHandler> handlers;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace vorla::app
