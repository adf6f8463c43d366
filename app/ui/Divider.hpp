#pragma once

class QWidget;

namespace vorla::app {

// A thin horizontal line between two parts of a stack.
QWidget* makeDivider(QWidget* parent);

} // namespace vorla::app
