#include "app/tests/ScriptedService.hpp"
#include "app/ui/AppDelegate.hpp"
#include "app/ui/EventListener.hpp"
#include "app/ui/MainQueueBridge.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/StatusBarController.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

void press(QWidget& receiver, QPoint globalPosition, Qt::MouseButton button) {
    QMouseEvent event(QEvent::MouseButtonPress, receiver.mapFromGlobal(globalPosition),
                      globalPosition, button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(&receiver, &event);
}

QPoint outside(const QWidget& window) {
    return window.frameGeometry().bottomRight() + QPoint(50, 50);
}

// The controller as the app builds it, with or without a tray icon as the status item's button.
struct Controller {
    explicit Controller(bool withButton)
        : controller(withButton ? std::make_unique<QSystemTrayIcon>() : nullptr, popover) {
        popover.setContentView(new QWidget);
        controller.setEventMonitor(std::make_unique<EventListener>(
            AppDelegate::outsideClickMask,
            [this](const QMouseEvent* event) { controller.closeOnOutsideClick(event); }));
    }
    bool monitoring() const { return controller.eventMonitor()->isMonitoring(); }

    Popover popover;
    StatusBarController controller;
};

TEST(StatusBarController, StatusItemClicksOpenAndCloseThePopoverWithTheMonitor) {
    Controller app(true);
    EXPECT_FALSE(app.popover.isShown());
    EXPECT_FALSE(app.monitoring());
    for (int round = 0; round < 2; ++round) {
        app.controller.togglePopover();
        EXPECT_TRUE(app.popover.isShown());
        EXPECT_TRUE(app.monitoring());
        EXPECT_EQ(app.popover.contentView()->size(), QSize(400, 320));
        app.controller.togglePopover();
        EXPECT_FALSE(app.popover.isShown());
        EXPECT_FALSE(app.monitoring());
    }
}

// The second of two quick clicks on the icon arrives as a double click; it toggles all the same.
TEST(StatusBarController, EveryClickOnTheStatusItemTogglesAndOtherButtonsDoNot) {
    using Reason = QSystemTrayIcon::ActivationReason;
    const std::pair<Reason, bool> rows[] = {
        {QSystemTrayIcon::Trigger, true},
        {QSystemTrayIcon::DoubleClick, true},
        {QSystemTrayIcon::Context, false},
        {QSystemTrayIcon::MiddleClick, false},
    };
    for (const auto& [reason, toggles] : rows) {
        Controller app(true);
        for (const bool shown : {true, false}) {
            emit app.controller.statusItem()->activated(reason);
            EXPECT_EQ(app.popover.isShown(), toggles && shown) << reason;
        }
    }
}

TEST(StatusBarController, LeftOrRightClickElsewhereClosesThePopover) {
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        Controller app(true);
        app.controller.togglePopover();
        press(app.popover, outside(app.popover), button);
        EXPECT_FALSE(app.popover.isShown()) << button;
        EXPECT_FALSE(app.monitoring()) << button;
    }
}

TEST(StatusBarController, ClicksInsideThePopoverOrWhileClosedChangeNothing) {
    Controller app(true);
    app.controller.closeOnOutsideClick(nullptr);
    EXPECT_FALSE(app.popover.isShown());

    app.controller.togglePopover();
    press(*app.popover.contentView(), app.popover.geometry().center(), Qt::LeftButton);
    EXPECT_TRUE(app.popover.isShown());
    EXPECT_TRUE(app.monitoring());
    // The monitor hands on an event; without one there is nothing to act on.
    app.controller.closeOnOutsideClick(nullptr);
    EXPECT_TRUE(app.popover.isShown());
}

TEST(StatusBarController, WithoutAStatusItemButtonClicksDoNothing) {
    Controller app(false);
    app.controller.togglePopover();
    EXPECT_FALSE(app.popover.isShown());
    EXPECT_FALSE(app.monitoring());
}

TEST(StatusBarController, TheAppWithoutSystemTrayHasAnIdleMonitorAndNoButton) {
    const auto service = std::make_shared<ScriptedService>();
    const auto manager = std::make_shared<ExtensionManager>(*service);
    AppDelegate delegate(*manager, BundleInfo("/nonexistent/Info.plist"));
    delegate.setUpStatusBar(false);
    ASSERT_NE(delegate.statusBar(), nullptr);
    EXPECT_EQ(delegate.statusBar()->statusItem(), nullptr);
    ASSERT_NE(delegate.statusBar()->eventMonitor(), nullptr);
    EXPECT_EQ(delegate.statusBar()->eventMonitor()->mask(), 10U);
    EXPECT_FALSE(delegate.statusBar()->eventMonitor()->isMonitoring());
    EXPECT_NE(delegate.popover().contentView(), nullptr);
    EXPECT_FALSE(delegate.popover().isShown());
}

TEST(EventListener, PassesOnlyMaskedClicksOutsideTheAppsWindowsWhileStarted) {
    QWidget window;
    window.setGeometry(100, 100, 200, 100);
    window.show();
    // Another window of the app, as the status item is: a click on it is no click elsewhere.
    QWidget statusItem;
    statusItem.setGeometry(600, 0, 22, 22);
    statusItem.show();
    enum Where { elsewhere, inside, onStatusItem };
    struct Case {
        std::uint64_t mask;
        Qt::MouseButton button;
        Where where;
        bool handled;
    };
    const Case cases[] = {
        {10, Qt::LeftButton, elsewhere, true},
        {10, Qt::RightButton, elsewhere, true},
        {10, Qt::MiddleButton, elsewhere, false},
        {10, Qt::LeftButton, inside, false},
        {10, Qt::LeftButton, onStatusItem, false},
        {EventListener::leftMouseDown, Qt::RightButton, elsewhere, false},
        {EventListener::otherMouseDown, Qt::MiddleButton, elsewhere, true},
    };
    for (const Case& row : cases) {
        int events = 0;
        EventListener listener(row.mask,
                               [&events](const QMouseEvent* event) { events += event != nullptr; });
        const QPoint where = row.where == elsewhere ? outside(window)
                             : row.where == inside  ? window.geometry().center()
                                                    : statusItem.geometry().center();
        press(window, where, row.button);
        EXPECT_EQ(events, 0) << "not started yet";
        listener.start();
        listener.start();
        press(window, where, row.button);
        EXPECT_EQ(events, row.handled ? 1 : 0) << row.mask << " " << row.button;
        listener.stop();
        EXPECT_FALSE(listener.isMonitoring());
        press(window, where, row.button);
        EXPECT_EQ(events, row.handled ? 1 : 0) << "stopped";
    }
}

TEST(MainQueueBridge, RunsMainQueueWorkInsideTheEventLoopUntilDetached) {
    int runs = 0;
    {
        const MainQueueBridge bridge(*QCoreApplication::instance());
        dispatch::Queue("elsewhere").async([&runs] {
            dispatch::mainQueue().async([&runs] { ++runs; });
        });
        EXPECT_TRUE(QTest::qWaitFor([&runs] { return runs == 1; }, 2000));
    }
    // Calls posted while the bridge lived may still be waiting; let them run first.
    QCoreApplication::sendPostedEvents();
    dispatch::mainQueue().async([&runs] { ++runs; });
    QTest::qWait(50);
    EXPECT_EQ(runs, 1) << "no wakeup reaches the event loop once the bridge is gone";
    dispatch::runMainQueueItems();
    EXPECT_EQ(runs, 2);
}

TEST(Popover, PositionFollowsTheStatusItemAndStaysOnScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(400, 320);
    struct Case {
        QRect anchor;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(1000, 0, 22, 22), QPoint(810, 26)},     // top panel: below, centred
        {QRect(1000, 1058, 22, 22), QPoint(810, 734)}, // bottom panel: above
        {QRect(1900, 0, 20, 22), QPoint(1520, 26)},    // right edge: kept on screen
        {QRect(0, 0, 20, 22), QPoint(0, 26)},          // left edge
        {QRect(), QPoint(1516, 4)},                    // no anchor: top right corner
    };
    for (const Case& row : cases) {
        EXPECT_EQ(popoverPosition(row.anchor, size, screen), row.expected) << row.anchor.x();
    }
}

// The offscreen desktop blends, so the popover has a shadow; its visible frame still goes where a
// popover without one would go, and only the shadow may leave the screen.
TEST(Popover, TheFrameNotTheShadowSitsAtTheStatusItem) {
    Popover popover;
    popover.setContentView(new QWidget);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize frame = Popover::contentSize.grownBy(QMargins(1, 1, 1, 1));
    const QRect anchors[] = {QRect(300, 0, 22, 22), QRect(screen.right() - 20, 0, 20, 22),
                             QRect(0, screen.bottom() - 21, 20, 22)};
    for (const QRect& anchor : anchors) {
        popover.showRelativeTo(anchor);
        ASSERT_EQ(popover.shadowMargin(), Popover::shadowWidth);
        const int shadow = popover.shadowMargin();
        const QRect shown =
            popover.geometry().marginsRemoved(QMargins(shadow, shadow, shadow, shadow));
        EXPECT_EQ(shown, QRect(popoverPosition(anchor, frame, screen), frame)) << anchor.x();
        EXPECT_TRUE(screen.contains(shown)) << anchor.x();
        popover.performClose();
    }
}

} // namespace
} // namespace vorla::app
