#pragma once

#include "app/ui/Appearance.hpp"

#include <QColor>

#include <cstdint>
#include <optional>

namespace vorla::app {

// The look of one tab: blue while selected, outlined while selected or under the pointer.
// Pressing a tab changes nothing of its look.
struct TabButtonStyle {
    std::int64_t selectedIndex;
    std::int64_t dataIndex;
    ColorScheme colorScheme;
    bool hover;

    static constexpr double cornerRadius = 4;
    static constexpr double outlineWidth = 0.8;

    bool isSelected() const { return selectedIndex == dataIndex; }
    QColor foreground(const QColor& primaryText) const;
    // The outline's colour, or nothing when the tab shows no outline.
    std::optional<QColor> outline() const;
};

} // namespace vorla::app
