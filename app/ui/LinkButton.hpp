#pragma once

#include "app/ui/FocusRing.hpp"

#include <QAbstractButton>

#include <optional>
#include <string>

namespace vorla::app {

// A plain button of the popover's bottom row: a symbol and a caption, which opens an address
// with the desktop's handler when clicked. Without an address it does nothing.
class LinkButton : public QAbstractButton, public FocusRingShape {
public:
    LinkButton(const char* symbolName, const QString& caption, std::optional<std::string> address,
               QWidget* parent = nullptr);

    const std::optional<std::string>& address() const { return address_; }
    QSize sizeHint() const override;
    // A little room around the symbol and caption, which fill the button to its edges.
    QPainterPath focusRingShape() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const char* symbolName_;
    std::optional<std::string> address_;
};

// Opens the bug-report page named by the bundle's GithubURL.
class BugReport : public LinkButton {
public:
    explicit BugReport(std::optional<std::string> githubURL, QWidget* parent = nullptr);
};

// Opens a new mail to the bundle's EmailAddress, or to our default address.
class MailToButton : public LinkButton {
public:
    explicit MailToButton(const std::optional<std::string>& emailAddress,
                          QWidget* parent = nullptr);
};

} // namespace vorla::app
