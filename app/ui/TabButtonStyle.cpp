#include "app/ui/TabButtonStyle.hpp"

namespace vorla::app {

QColor TabButtonStyle::foreground(const QColor& primaryText) const {
    return isSelected() ? systemBlue() : primaryText;
}

std::optional<QColor> TabButtonStyle::outline() const {
    if (!hover && !isSelected()) {
        return std::nullopt;
    }
    return colorScheme == ColorScheme::dark ? systemGrey() : grey(0.1);
}

} // namespace vorla::app
