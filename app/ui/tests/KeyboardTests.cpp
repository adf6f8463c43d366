#include "app/tests/ScriptedService.hpp"
#include "app/ui/AboutPane.hpp"
#include "app/ui/ButtonComponent.hpp"
#include "app/ui/CloseButton.hpp"
#include "app/ui/ContentView.hpp"
#include "app/ui/ExtensionToggle.hpp"
#include "app/ui/FocusRing.hpp"
#include "app/ui/LinkButton.hpp"
#include "app/ui/MenuView.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/TabButton.hpp"
#include "app/ui/TabButtonView.hpp"
#include "app/ui/TabContentView.hpp"
#include "app/ui/TitleView.hpp"

#include <QApplication>
#include <QEnterEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

// The popover as a person uses it from the keyboard, shown and active.
class Keyboard : public testing::Test {
protected:
    Keyboard() {
        popover.setContentView(content);
        popover.showRelativeTo(QRect());
        EXPECT_TRUE(QTest::qWaitForWindowActive(&popover));
    }

    TabContentView& tabs() const { return *content->menuView()->tabContent(); }
    TabButton& tab(std::size_t position) const {
        return *tabs().tabView()->tabBar()->buttons().at(position);
    }
    static QWidget& focused() { return *QApplication::focusWidget(); }
    void press(Qt::Key key) const { QTest::keyClick(&focused(), key); }

    // What a focused control is, in a word.
    std::string describe(QWidget& widget) const {
        for (std::size_t position = 0; position < 3; ++position) {
            if (&widget == &tab(position)) {
                return "tab" + std::to_string(position);
            }
        }
        return dynamic_cast<ExtensionToggle*>(&widget)   ? "switch"
               : dynamic_cast<ButtonComponent*>(&widget) ? "copy"
               : dynamic_cast<QPushButton*>(&widget)     ? "link"
               : dynamic_cast<MailToButton*>(&widget)    ? "mail"
               : dynamic_cast<BugReport*>(&widget)       ? "bug"
               : dynamic_cast<CloseButton*>(&widget)     ? "quit"
                                                         : "other";
    }

    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
    ContentView* content = new ContentView(*manager, BundleInfo("/nonexistent/Info.plist"));
    Popover popover;
};

// Panes are built anew at each selection, in any order; their controls still come right after
// the tabs, and only those of the pane shown; the quit button comes last.
TEST_F(Keyboard, TabGoesThroughTheTabsThePaneShownAndTheLinksWithTheRingOnEach) {
    const std::pair<std::int64_t, std::vector<std::string>> rows[] = {
        {1, {"tab1", "tab2", "copy", "copy", "copy", "copy", "mail", "bug", "quit", "tab0"}},
        {0, {"tab1", "tab2", "switch", "mail", "bug", "quit", "tab0"}},
        {2, {"tab1", "tab2", "link", "link", "mail", "bug", "quit", "tab0"}},
        {1, {"tab1", "tab2", "copy", "copy", "copy", "copy", "mail", "bug", "quit", "tab0"}},
    };
    for (const auto& [selection, expected] : rows) {
        tabs().selectedIndex().set(selection);
        tab(0).setFocus(Qt::OtherFocusReason);
        std::vector<std::string> order;
        for (std::size_t step = 0; step < expected.size(); ++step) {
            press(Qt::Key_Tab);
            order.push_back(describe(focused()));
            EXPECT_TRUE(focused().isVisible()) << order.back();
            EXPECT_EQ(content->focusRing()->target(), &focused()) << order.back();
        }
        EXPECT_EQ(order, expected) << "selection " << selection;
    }
}

TEST_F(Keyboard, TheRingDrawsOutsideTheFocusedControlOnly) {
    const QImage before = popover.grab().toImage();
    tab(0).setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Tab);
    const QImage after = popover.grab().toImage();
    const QRect control(tab(1).mapTo(&popover, QPoint(0, 0)), tab(1).size());
    QRect changed;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                changed |= QRect(x, y, 1, 1);
            }
        }
    }
    const int reach = FocusRing::ringWidth + 1;
    EXPECT_EQ(changed, control.marginsAdded(QMargins(reach, reach, reach, reach)) & changed);
    EXPECT_FALSE(control.adjusted(1, 1, -1, -1).contains(changed)) << "the ring lies outside";
    EXPECT_TRUE(changed.isValid());
}

// Return, Enter and Space press the quit button; keys that press no button leave it alone.
TEST_F(Keyboard, TheQuitButtonIsPressedFromTheKeyboardAndOpensTheRoundBackwards) {
    CloseButton& quit = *content->titleView()->quitButton();
    EXPECT_EQ(quit.accessibleName(), "Quit UI");
    EXPECT_EQ(&focused(), &tab(0)) << "an opened popover offers to quit first";
    const std::pair<Qt::Key, int> rows[] = {{Qt::Key_Return, 1},
                                            {Qt::Key_Enter, 1},
                                            {Qt::Key_Space, 1},
                                            {Qt::Key_A, 0},
                                            {Qt::Key_Escape, 0}};
    for (const auto& [key, clicks] : rows) {
        popover.showRelativeTo(QRect());
        tab(0).setFocus(Qt::OtherFocusReason);
        press(Qt::Key_Backtab);
        ASSERT_EQ(&focused(), &quit);
        EXPECT_EQ(content->focusRing()->target(), &quit);
        const QSignalSpy clicked(&quit, &QAbstractButton::clicked);
        press(key);
        EXPECT_EQ(clicked.count(), clicks) << key;
    }
}

TEST_F(Keyboard, AClickedTabTakesTheFocusSoSpaceActsOnIt) {
    tab(0).setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Tab);
    ASSERT_EQ(&focused(), &tab(1));
    QTest::mouseClick(&tab(2), Qt::LeftButton);
    EXPECT_EQ(&focused(), &tab(2));
    EXPECT_EQ(content->focusRing()->target(), nullptr) << "a click shows no ring";
    press(Qt::Key_Space);
    EXPECT_EQ(tabs().selectedIndex().get(), 2);
    press(Qt::Key_Backtab);
    press(Qt::Key_Space);
    EXPECT_EQ(tabs().selectedIndex().get(), 1);
}

TEST_F(Keyboard, PointerLooksEndWhenThePopoverClosesWithEscape) {
    CloseButton& quit = *content->titleView()->quitButton();
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(&tab(1), &enter);
    QCoreApplication::sendEvent(&quit, &enter);
    ASSERT_TRUE(tab(1).style().outline().has_value());
    ASSERT_TRUE(quit.hovered());
    QTest::keyClick(&popover, Qt::Key_Escape);
    ASSERT_FALSE(popover.isShown());
    popover.showRelativeTo(QRect());
    EXPECT_FALSE(tab(1).style().outline().has_value());
    EXPECT_FALSE(quit.hovered());
}

} // namespace
} // namespace vorla::app
