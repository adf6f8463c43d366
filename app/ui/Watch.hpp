#pragma once

#include "app/Binding.hpp"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vorla::app {

// Redraws a widget when an observed value changes. The value may outlive the widget (a
// binding to it can be held elsewhere), so the change handler checks that the widget still
// exists before it touches it.
template <typename Value, typename Widget>
void watch(
    const Observable<Value>& observable, Widget* widget,
    std::function<void(Widget& widget, const Value& newValue, const Value& oldValue)> onChange) {
    observable.onChange([guarded = QPointer<Widget>(widget), onChange = std::move(onChange)](
                            const Value& newValue, const Value& oldValue) {
        if (guarded) {
            onChange(*guarded, newValue, oldValue);
        }
    });
}

} // namespace vorla::app
