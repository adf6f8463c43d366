#pragma once

#include <QWidget>

#include <optional>
#include <string>

class QLabel;

namespace vorla::app {

class BundleInfo;

// The About tab: the app's name, version and a year-and-credit caption, with buttons to the
// acknowledgements and the licence on the product web site.
class AboutPane : public QWidget {
public:
    AboutPane(std::optional<std::string> appVersion, std::optional<int> currentYear,
              QWidget* parent = nullptr);

    QString versionLine() const;
    QString captionLine() const;

private:
    QLabel* version_;
    QLabel* caption_;
};

// The About pane with the version from the bundle and this year.
AboutPane* makeAboutPane(const BundleInfo& bundle);

// The year of today's date in the Gregorian calendar, when it can be told.
std::optional<int> currentGregorianYear();

} // namespace vorla::app
