#pragma once

#include "app/ui/Appearance.hpp"

#include <QColor>
#include <QFont>
#include <QString>

namespace vorla::app {

// The look of the copy buttons, the same in light and dark appearance: an upper-case grey
// label on a lighter grey capsule that darkens while pressed.
struct CopyButtoStyle {
    static constexpr double cornerRadius = 10;

    static QString text(const QString& label) { return label.toUpper(); }
    static QFont font();
    static QColor foreground() { return grey(0.5); }
    static QColor background(bool pressed) { return grey(pressed ? 0.8 : 0.9); }
};

} // namespace vorla::app
