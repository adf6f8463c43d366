#pragma once

#include <QWidget>

namespace vorla::app {

// A thin horizontal line between two parts of a stack, one point high. It fills its whole
// height rather than stroking a line along its middle: at a scale such as 1.5 a one-point
// stroke is split between device pixels that the widget's edges cut off, and the line
// vanishes; a filled point always covers at least one device pixel.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorla::app
