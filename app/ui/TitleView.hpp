#pragma once

#include <QWidget>

namespace vorla::app {

class CloseButton;

// The popover's top row: the quit button, space, and the app's name.
class TitleView : public QWidget {
public:
    explicit TitleView(QWidget* parent = nullptr);

    CloseButton* quitButton() const { return quitButton_; }

private:
    CloseButton* quitButton_;
};

} // namespace vorla::app
