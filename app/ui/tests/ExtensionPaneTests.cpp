#include "app/tests/ScriptedService.hpp"
#include "app/ui/ExtensionPane.hpp"
#include "app/ui/ExtensionToggle.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/TabContentView.hpp"

#include <QLabel>
#include <QLayout>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

using Kind = system_extensions::Request::Kind;
using enum ExtensionState;

class ExtensionPaneTest : public testing::Test {
protected:
    ExtensionPaneTest() {
        view.show();
        service->requests.clear();
    }

    ExtensionPane& pane() const {
        return dynamic_cast<ExtensionPane&>(*view.tabView()->currentPane());
    }
    void clickSwitch() const {
        ExtensionToggle& toggle = *pane().toggle();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, toggle.trackRect().center());
    }

    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
    TabContentView view{*manager, BundleInfo("/nonexistent/Info.plist")};
};

TEST_F(ExtensionPaneTest, ShowsEachStateOnTheSwitchAndInTheHelpLines) {
    const QString loadedHint = "You will have to confirm by providing your password.";
    const QString unloadedHint =
        QString::fromUtf8("You will have to approve manually in Security &\u00A0Privacy.");
    struct Case {
        ExtensionState state;
        bool on;
    };
    const Case cases[] = {{silentOn, true}, {silentOff, false}, {waiting, true},
                          {off, false},     {on, true},         {initial, false}};
    for (const Case& row : cases) {
        view.extensionLoaded().set(row.state);
        const ExtensionToggle& toggle = *pane().toggle();
        EXPECT_EQ(toggle.isOn(), row.on) << int(row.state);
        EXPECT_EQ(toggle.caption(), row.on ? "Unload extension" : "Load extension");
        EXPECT_EQ(pane().toggleHint(),
                  row.on ? "Toggle to unload extension." : "Toggle to load extension.");
        EXPECT_EQ(pane().confirmationHint(), row.on ? loadedHint : unloadedHint);
    }
}

TEST_F(ExtensionPaneTest, TheSwitchWritesOnAndOffAndAsksForTheRequests) {
    view.extensionLoaded().set(silentOff);
    clickSwitch();
    EXPECT_EQ(view.extensionLoaded().get(), on);
    EXPECT_EQ(service->kinds(), std::vector<Kind>{Kind::activation});
    EXPECT_EQ(pane().statusText(), "successfully loaded");

    clickSwitch();
    EXPECT_EQ(view.extensionLoaded().get(), off);
    EXPECT_EQ(service->kinds(), (std::vector<Kind>{Kind::activation, Kind::deactivation}));
    EXPECT_EQ(pane().statusText(), "Unloading started");
}

TEST_F(ExtensionPaneTest, OnlyTheTrackFlipsTheSwitch) {
    view.extensionLoaded().set(silentOff);
    QTest::mouseClick(pane().toggle(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(view.extensionLoaded().get(), silentOff);
}

TEST_F(ExtensionPaneTest, ManagerAnswersReachThePaneOnceShown) {
    const auto request = system_extensions::Request::propertiesRequest(manager->extensionIdentifier,
                                                                       dispatch::mainQueue());
    manager->foundProperties(*request, {{manager->extensionIdentifier, false, true}});
    EXPECT_EQ(view.extensionLoaded().get(), waiting);
    EXPECT_TRUE(pane().toggle()->isOn());
    EXPECT_EQ(pane().statusText(), "Waiting for user approval");

    manager->didFailWithError(*request, system_extensions::Error{"elsewhere", 1});
    EXPECT_EQ(pane().statusText(), "Unknown error");
}

TEST_F(ExtensionPaneTest, TheKnobMovesLinearlyInATenthOfASecond) {
    ExtensionToggle& toggle = *pane().toggle();
    EXPECT_EQ(toggle.knobOffset(), -12);
    view.extensionLoaded().set(silentOn);
    const QPropertyAnimation& animation = toggle.knobAnimation();
    EXPECT_EQ(animation.duration(), 100);
    EXPECT_EQ(animation.easingCurve().type(), QEasingCurve::Linear);
    EXPECT_EQ(animation.endValue().toDouble(), 12);
    EXPECT_TRUE(QTest::qWaitFor([&toggle] { return toggle.knobOffset() == 12; }, 1000));
}

// The help lines look the same whether or not the switch was ever used: a fade that starts
// from a dimmed line, or stays dimmed, would show here.
TEST_F(ExtensionPaneTest, HelpLinesKeepTheirColourAcrossToggles) {
    view.extensionLoaded().set(silentOff);
    const auto drawn = [this] {
        QTest::qWait(150); // the fade's length and more
        std::vector<QImage> lines;
        const QImage whole = pane().grab().toImage();
        for (QLabel* line : pane().findChildren<QLabel*>()) {
            lines.push_back(whole.copy(line->geometry()));
        }
        return lines;
    };
    const auto before = drawn();
    for (const ExtensionState state : {silentOn, silentOff}) {
        view.extensionLoaded().set(state);
    }
    const auto after = drawn();
    ASSERT_EQ(before.size(), 2U);
    EXPECT_EQ(before, after);
    int darkest = 255;
    for (int x = 0; x < before[0].width(); ++x) {
        for (int y = 0; y < before[0].height(); ++y) {
            darkest = std::min(darkest, qGray(before[0].pixel(x, y)));
        }
    }
    EXPECT_LT(darkest, 40) << "a full-strength primary colour reaches black in the glyph cores";
}

TEST_F(ExtensionPaneTest, TheStatusLineKeepsItsFrameWhateverItSays) {
    const int hintTop = pane().findChildren<QLabel*>().front()->y();
    view.extensionStatus().set("Missing System Extension ID");
    pane().layout()->activate();
    EXPECT_EQ(pane().findChildren<QLabel*>().front()->y(), hintTop);
    EXPECT_EQ(pane().statusText(), "Missing System Extension ID");
}

// The popover is the app's only window, as in the app itself.
TEST(Popover, EveryOpeningMakesTheAppActiveAndAsksForTheProperties) {
    const auto service = std::make_shared<ScriptedService>();
    const auto manager = std::make_shared<ExtensionManager>(*service);
    Popover popover;
    popover.setContentView(new TabContentView(*manager, BundleInfo("/nonexistent/Info.plist")));
    for (int opening = 1; opening <= 2; ++opening) {
        service->requests.clear();
        popover.showRelativeTo(QRect());
        ASSERT_TRUE(QTest::qWaitFor([&service] { return !service->requests.empty(); }, 1000))
            << opening;
        EXPECT_EQ(service->kinds(), std::vector<Kind>{Kind::properties}) << opening;
        popover.performClose();
    }
}

} // namespace
} // namespace vorla::app

namespace vorla::app {
namespace {

TEST(Popover, StandsOutWithABorderAndAShadowAroundItsContent) {
    Popover popover;
    popover.setContentView(new QWidget);
    popover.show();
    const QImage image = popover.grab().toImage();
    const QRect content = popover.contentView()->geometry();
    EXPECT_EQ(content.size(), Popover::contentSize);
    const QColor border = image.pixelColor(content.left() - 1, content.center().y());
    EXPECT_EQ(border.alpha(), 255);
    EXPECT_EQ(qGray(border.rgb()), 128);
    const auto alphaAt = [&](int out) {
        return image.pixelColor(content.center().x(), content.top() - 1 - out).alpha();
    };
    EXPECT_GT(alphaAt(1), alphaAt(Popover::shadowWidth));
    EXPECT_GT(alphaAt(Popover::shadowWidth), 0);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), alphaAt(Popover::shadowWidth));
}

// The click that takes the activation away closes the popover and still does its work.
TEST(Popover, AClickElsewhereClosesItAndReachesWhatWasClicked) {
    Popover popover;
    popover.setContentView(new QWidget);
    popover.showRelativeTo(QRect());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover));
    QPushButton elsewhere("elsewhere");
    int clicks = 0;
    QObject::connect(&elsewhere, &QPushButton::clicked, [&clicks] { ++clicks; });
    elsewhere.move(popover.geometry().bottomLeft() + QPoint(0, 40));
    elsewhere.show();
    elsewhere.activateWindow();
    QTest::mouseClick(elsewhere.windowHandle(), Qt::LeftButton, {}, elsewhere.rect().center());
    EXPECT_TRUE(QTest::qWaitFor([&popover] { return !popover.isShown(); }, 1000));
    EXPECT_EQ(clicks, 1);
}

} // namespace
} // namespace vorla::app
