#include "app/ui/LinkButton.hpp"

#include "app/ui/Appearance.hpp"
#include "app/ui/Links.hpp"
#include "app/ui/Localized.hpp"
#include "app/ui/resources/SymbolImage.hpp"

#include <QPainter>

namespace vorla::app {

namespace {
constexpr int symbolSize = 14;
constexpr int symbolSpacing = 5;
constexpr int textSize = 13;
} // namespace

LinkButton::LinkButton(const char* symbolName, const QString& caption,
                       std::optional<std::string> address, QWidget* parent)
    : QAbstractButton(parent), symbolName_(symbolName), address_(std::move(address)) {
    setText(caption);
    setFont(systemFont(textSize));
    setCursor(Qt::PointingHandCursor);
    QObject::connect(this, &QAbstractButton::clicked, [this] { openAddress(address_); });
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {symbolSize + symbolSpacing + metrics.horizontalAdvance(text()),
            std::max(symbolSize, metrics.height())};
}

QPainterPath LinkButton::focusRingShape() const {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(-3, -2, 3, 2), 4, 4);
    return shape;
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // A plain button dims while it is pressed.
    const QColor colour =
        isDown() ? palette().color(QPalette::PlaceholderText) : primaryText(*this);
    drawSymbol(painter, symbolName_,
               QRectF(0, (height() - symbolSize) / 2.0, symbolSize, symbolSize), colour);
    painter.setPen(colour);
    painter.drawText(rect().adjusted(symbolSize + symbolSpacing, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

BugReport::BugReport(std::optional<std::string> githubURL, QWidget* parent)
    : LinkButton("ladybug.fill", localized("Report a bug"), std::move(githubURL), parent) {}

MailToButton::MailToButton(const std::optional<std::string>& emailAddress, QWidget* parent)
    : LinkButton("mail.fill", localized("Say hi"), mailToAddress(emailAddress), parent) {}

} // namespace vorla::app
