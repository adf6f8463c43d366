#pragma once

#include <QWidget>

#include <string>

class QClipboard;
class QLabel;

namespace vorla::app {

class ButtonComponent;

// One line of the paths list: a caption and the button that copies the path.
class Row : public QWidget {
public:
    Row(const QString& displayText, std::string path, QClipboard& pasteboard,
        QWidget* parent = nullptr);

    QString displayText() const;
    ButtonComponent* copyButton() const { return button_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyAppearance();

    QLabel* caption_;
    ButtonComponent* button_;
};

} // namespace vorla::app
