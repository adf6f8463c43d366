#include "app/ui/ExtensionPane.hpp"

#include "app/StateChange.hpp"
#include "app/ui/Appearance.hpp"
#include "app/ui/ExtensionToggle.hpp"
#include "app/ui/Localized.hpp"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QVBoxLayout>

namespace vorla::app {

namespace {

constexpr int statusFrameHeight = 10;

QLabel* makeHelpLine(QWidget* parent) {
    auto* line = new QLabel(parent);
    line->setFont(textStyleFont(TextStyle::callout));
    line->setAlignment(Qt::AlignCenter);
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(false);
    // Shown at its full width, never cut or wrapped; free to grow sideways.
    line->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return line;
}

// The opacity effect lives only as long as the fade: a line at rest is drawn as it is, so it
// looks the same before and after any toggle.
void fadeIn(QLabel& line, std::chrono::milliseconds duration) {
    auto* effect = new QGraphicsOpacityEffect(&line);
    effect->setOpacity(0.0);
    line.setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", &line);
    fade->setDuration(static_cast<int>(duration.count()));
    fade->setEasingCurve(QEasingCurve::Linear);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    QObject::connect(fade, &QAbstractAnimation::finished, &line,
                     [&line, effect = QPointer(effect)] {
                         // A newer fade may have replaced this one's effect; that one removes its
                         // own.
                         if (effect && line.graphicsEffect() == effect) {
                             line.setGraphicsEffect(nullptr);
                         }
                     });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

ExtensionPane::ExtensionPane(Binding<std::string> extensionStatus,
                             Binding<ExtensionState> extensionState,
                             std::chrono::milliseconds fadeAnimation, ExtensionManager& manager,
                             QWidget* parent)
    : QWidget(parent), extensionStatus_(std::move(extensionStatus)),
      extensionState_(std::move(extensionState)), fadeAnimation_(fadeAnimation), manager_(manager),
      toggle_(new ExtensionToggle(ExtensionToggleStyle{std::chrono::milliseconds(100),
                                                       localized("Unload extension"),
                                                       localized("Load extension")},
                                  isLoaded(extensionState_.get()), this)),
      statusFrame_(new QWidget(this)), toggleHint_(makeHelpLine(this)),
      confirmationHint_(makeHelpLine(this)) {
    QObject::connect(toggle_, &QAbstractButton::clicked, [this] {
        const Binding<bool> loaded = isLoaded(extensionState_);
        loaded.set(!loaded.get());
    });
    statusFrame_->setFixedHeight(statusFrameHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(toggle_, 0, Qt::AlignHCenter);
    column->addSpacing(20);
    column->addWidget(statusFrame_);
    column->addWidget(toggleHint_, 0, Qt::AlignHCenter);
    column->addWidget(confirmationHint_, 0, Qt::AlignHCenter);
    showHelpLines(false);
}

void ExtensionPane::extensionStateChanged(ExtensionState newValue, ExtensionState previous) {
    const bool loaded = isLoaded(newValue);
    const bool wasLoaded = toggle_->isOn();
    toggle_->setOn(loaded);
    if (loaded != wasLoaded) {
        showHelpLines(true);
    }
    handleStateChange(newValue, previous, extensionStatus_, manager_);
}

void ExtensionPane::extensionStatusChanged() {
    update();
}

QString ExtensionPane::statusText() const {
    return QString::fromStdString(extensionStatus_.get());
}

QString ExtensionPane::toggleHint() const {
    return toggleHint_->text();
}

QString ExtensionPane::confirmationHint() const {
    return confirmationHint_->text();
}

void ExtensionPane::showHelpLines(bool animated) {
    const bool loaded = isLoaded(extensionState_.get());
    toggleHint_->setText(loaded ? localized("Toggle to unload extension.")
                                : localized("Toggle to load extension."));
    confirmationHint_->setText(
        loaded ? localized("You will have to confirm by providing your password.")
               : localized("You will have to approve manually in Security &\u00A0Privacy."));
    if (animated) {
        fadeIn(*toggleHint_, fadeAnimation_);
        fadeIn(*confirmationHint_, fadeAnimation_);
    }
}

// The status line keeps its 10-point frame in the layout, so the help lines stay where they
// are whatever the status says; its text is centred on the frame and may reach beyond it,
// which a child widget could not do.
void ExtensionPane::paintEvent(QPaintEvent*) {
    const QString status = statusText();
    if (status.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(primaryText(*this));
    const QRect frame = statusFrame_->geometry();
    const int lineHeight = fontMetrics().height();
    const QRect textBox(frame.left(), frame.center().y() - lineHeight / 2, frame.width(),
                        lineHeight);
    painter.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, status);
}

} // namespace vorla::app
