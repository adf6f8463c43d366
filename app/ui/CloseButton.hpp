#pragma once

#include <QAbstractButton>

namespace vorla {

// The quit button's face: a red dot that shows a cross while the pointer is over it.
class CloseButton : public QAbstractButton {
public:
    explicit CloseButton(QWidget* parent = nullptr);

    bool hovered() const { return hovered_; }
    QSize sizeHint() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool hovered_ = false;
};

} // namespace vorla
