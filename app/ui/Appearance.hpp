#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// Colours and fonts of the popover. Sizes are in device-independent pixels, which play the
// part of points; fonts are sized in pixels for the same reason, so the layout keeps its
// proportions whatever the screen's dots per inch.
namespace vorla::app {

enum class ColorScheme { light, dark };

// The appearance a widget is drawn in, judged from its palette's window colour.
ColorScheme colorScheme(const QWidget& widget);

// An sRGB grey by white level (0 black, 1 white), opaque.
QColor grey(double whiteLevel);

// The named colours of the toolkit we follow.
QColor systemBlue();
QColor systemGrey();
QColor primaryText(const QWidget& widget);

enum class TextStyle { largeTitle, title, headline, callout, caption };

QFont systemFont(double pixelSize, QFont::Weight weight = QFont::Normal);
QFont textStyleFont(TextStyle style);

} // namespace vorla::app
