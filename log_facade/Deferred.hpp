#pragma once

#include <concepts>
#include <functional>
#include <type_traits>

namespace vorla::logging {

// An argument that is worked out only when it is needed: either a value already at hand or a
// callable that produces one. A record below the handler's level then costs nothing to build.
//
// It refers to the caller's argument without copying it, so it is only ever a parameter type:
// the argument lives until the end of the call that receives it.
// A callable that produces a T, or a value that stands for a T itself.
template <typename Producer, typename T>
concept ProducerOf = std::invocable<const Producer&> &&
    std::convertible_to<std::invoke_result_t<const Producer&>, T>;
template <typename Value, typename T>
concept ValueOf = !std::invocable<const Value&> && std::convertible_to<const Value&, T>;

template <typename T> class Deferred {
public:
    // Produces a default T (no value, for the optional arguments).
    Deferred() requires std::default_initializable<T> : produce_([](const void*) { return T{}; }) {}

    template <ProducerOf<T> Producer>
    Deferred(const Producer& producer)
        : argument_(&producer), produce_([](const void* argument) -> T {
              return std::invoke(*static_cast<const Producer*>(argument));
          }) {}

    template <ValueOf<T> Value>
    Deferred(const Value& value)
        : argument_(&value),
          produce_([](const void* argument) -> T { return *static_cast<const Value*>(argument); }) {
    }

    T operator()() const { return produce_(argument_); }

private:
    const void* argument_ = nullptr;
    T (*produce_)(const void*);
};

} // namespace vorla::logging
