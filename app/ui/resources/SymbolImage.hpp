#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>

#include <string_view>

class QPainter;

// The app's own pictures for the symbol names its views use ("map", "info.circle",
// "circle.fill", ...) and for the menu-bar image "vorla.menu". They are drawn as vector paths
// on a 24 x 24 grid, so they stay sharp at any size and take any colour, like template images.
namespace vorla::app {

// Draws the named symbol into the square box, in the colour given. An unknown name draws
// nothing.
void drawSymbol(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color);

// The named symbol as a square picture of `size` device-independent pixels.
QPixmap symbolImage(std::string_view name, int size, const QColor& color,
                    qreal devicePixelRatio = 1.0);

// The status item's image "vorla.menu", 22 x 22, with sharper copies for dense screens.
QIcon menuBarImage();

} // namespace vorla::app
