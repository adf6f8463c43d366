#include "app/tests/ScriptedService.hpp"
#include "app/ui/CloseButton.hpp"
#include "app/ui/ContentView.hpp"
#include "app/ui/MenuView.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/TabButton.hpp"
#include "app/ui/TabButtonView.hpp"
#include "app/ui/TabContentView.hpp"
#include "app/ui/TitleView.hpp"

#include <QEnterEvent>
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
    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
    ContentView* content = new ContentView(*manager, BundleInfo("/nonexistent/Info.plist"));
    Popover popover;
};

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
