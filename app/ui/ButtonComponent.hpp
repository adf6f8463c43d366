#pragma once

#include "app/ui/FocusRing.hpp"

#include <QAbstractButton>

#include <string>

class QClipboard;

namespace vorla::app {

// The "copy" button of a path row: puts the row's path on the clipboard as plain text.
class ButtonComponent : public QAbstractButton, public FocusRingShape {
public:
    ButtonComponent(std::string path, QClipboard& pasteboard, QWidget* parent = nullptr);

    const std::string& path() const { return path_; }
    QSize sizeHint() const override;
    QPainterPath focusRingShape() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void copy();

    std::string path_;
    QClipboard& pasteboard_;
};

} // namespace vorla::app
