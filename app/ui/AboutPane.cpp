#include "app/ui/AboutPane.hpp"

#include "app/ui/Appearance.hpp"
#include "app/ui/BundleInfo.hpp"
#include "app/ui/Links.hpp"
#include "app/ui/Localized.hpp"

#include <QCalendar>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorla::app {

namespace {

constexpr const char* credit = " vorla developers";

QLabel* makeLine(const QString& text, TextStyle style, QWidget* parent) {
    auto* line = new QLabel(text, parent);
    line->setTextFormat(Qt::PlainText);
    line->setFont(textStyleFont(style));
    line->setAlignment(Qt::AlignCenter);
    return line;
}

QPushButton* makeLinkButton(const char* label, std::string address, QWidget* parent) {
    auto* button = new QPushButton(localized(label), parent);
    QObject::connect(button, &QPushButton::clicked,
                     [address = std::move(address)] { openAddress(address); });
    return button;
}

} // namespace

AboutPane::AboutPane(std::optional<std::string> appVersion, std::optional<int> currentYear,
                     QWidget* parent)
    : QWidget(parent),
      version_(makeLine(localized("Version ") + QString::fromStdString(appVersion.value_or("")),
                        TextStyle::callout, this)),
      caption_(makeLine(QString::number(currentYear.value_or(2023)) + QString::fromUtf8(credit),
                        TextStyle::caption, this)) {
    auto* names = new QVBoxLayout;
    names->setSpacing(3);
    names->addWidget(makeLine(localized("vorla"), TextStyle::largeTitle, this));
    names->addWidget(version_);
    names->addWidget(caption_);

    const std::string site(productSite);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(
        makeLinkButton("Acknowledgements", site + "/eula.html#acknowledgements", this));
    buttons->addWidget(makeLinkButton("License Agreement", site + "/eula.html", this));
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addStretch(1);
    column->addLayout(names);
    column->addLayout(buttons);
    column->addStretch(1);
}

QString AboutPane::versionLine() const {
    return version_->text();
}

QString AboutPane::captionLine() const {
    return caption_->text();
}

AboutPane* makeAboutPane(const BundleInfo& bundle) {
    return new AboutPane(bundle.string("CFBundleShortVersionString"), currentGregorianYear());
}

std::optional<int> currentGregorianYear() {
    const QCalendar::YearMonthDay today =
        QCalendar(QCalendar::System::Gregorian).partsFromDate(QDate::currentDate());
    return today.isValid() ? std::optional<int>(today.year) : std::nullopt;
}

} // namespace vorla::app
