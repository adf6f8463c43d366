#include "app/ui/Appearance.hpp"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace vorla::app {

ColorScheme colorScheme(const QWidget& widget) {
    return widget.palette().color(QPalette::Window).lightnessF() < 0.5 ? ColorScheme::dark
                                                                       : ColorScheme::light;
}

QColor grey(double whiteLevel) {
    return QColor::fromRgbF(whiteLevel, whiteLevel, whiteLevel);
}

QColor systemBlue() {
    return QColor(0, 122, 255);
}

QColor systemGrey() {
    return QColor(142, 142, 147);
}

QColor primaryText(const QWidget& widget) {
    return widget.palette().color(QPalette::WindowText);
}

QFont systemFont(double pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(static_cast<int>(pixelSize));
    font.setWeight(weight);
    return font;
}

QFont textStyleFont(TextStyle style) {
    switch (style) {
    case TextStyle::largeTitle:
        return systemFont(26);
    case TextStyle::title:
        return systemFont(22);
    case TextStyle::headline:
        return systemFont(13, QFont::Bold);
    case TextStyle::callout:
        return systemFont(12);
    case TextStyle::caption:
        return systemFont(10);
    }
    return systemFont(13);
}

} // namespace vorla::app
