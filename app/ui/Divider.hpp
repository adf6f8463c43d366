#pragma once

class QWidget;

namespace vorla {

// A thin horizontal line between two parts of a stack.
QWidget* makeDivider(QWidget* parent);

} // namespace vorla
