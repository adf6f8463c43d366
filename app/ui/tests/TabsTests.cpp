#include "app/tests/ScriptedService.hpp"
#include "app/ui/AboutPane.hpp"
#include "app/ui/ConfigPane.hpp"
#include "app/ui/ExtensionPane.hpp"
#include "app/ui/TabButton.hpp"
#include "app/ui/TabButtonStyle.hpp"
#include "app/ui/TabButtonView.hpp"
#include "app/ui/TabContentView.hpp"

#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

TEST(TabButtonStyle, SelectedTabIsBlueAndOutlinedHoveredTabOutlinedOnly) {
    const QColor primary(Qt::black);
    struct Case {
        std::int64_t selected;
        bool hover;
        ColorScheme scheme;
        QColor foreground;
        std::optional<QColor> outline;
    };
    const Case cases[] = {
        {0, false, ColorScheme::light, systemBlue(), grey(0.1)},
        {0, true, ColorScheme::dark, systemBlue(), systemGrey()},
        {1, true, ColorScheme::light, primary, grey(0.1)},
        {1, true, ColorScheme::dark, primary, systemGrey()},
        {1, false, ColorScheme::light, primary, std::nullopt},
    };
    for (const Case& row : cases) {
        const TabButtonStyle style{row.selected, 0, row.scheme, row.hover};
        EXPECT_EQ(style.foreground(primary), row.foreground) << row.selected << row.hover;
        EXPECT_EQ(style.outline(), row.outline) << row.selected << row.hover;
    }
}

class TabContent : public testing::Test {
protected:
    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
    TabContentView view{*manager, BundleInfo("/nonexistent/Info.plist")};

    TabButton& tab(std::size_t position) const {
        return *view.tabView()->tabBar()->buttons().at(position);
    }
    QWidget* pane() const { return view.tabView()->currentPane(); }
};

TEST_F(TabContent, ClickingATabShowsItsPane) {
    EXPECT_EQ(view.selectedIndex().get(), 0);
    EXPECT_NE(dynamic_cast<ExtensionPane*>(pane()), nullptr);
    QTest::mouseClick(&tab(1), Qt::LeftButton);
    EXPECT_EQ(view.selectedIndex().get(), 1);
    EXPECT_NE(dynamic_cast<ConfigPane*>(pane()), nullptr);
    QTest::mouseClick(&tab(2), Qt::LeftButton);
    EXPECT_NE(dynamic_cast<AboutPane*>(pane()), nullptr);

    QWidget* const about = pane();
    QTest::mouseClick(&tab(2), Qt::LeftButton);
    EXPECT_EQ(view.selectedIndex().get(), 2);
    EXPECT_EQ(pane(), about) << "clicking the selected tab changes nothing";
}

TEST_F(TabContent, AnIndexOtherThanOneOrTwoShowsTheExtensionPane) {
    for (const std::int64_t index : {1, 3, 2, -1, 1, 0}) {
        view.selectedIndex().set(index);
        const bool extension = index != 1 && index != 2;
        EXPECT_EQ(dynamic_cast<ExtensionPane*>(pane()) != nullptr, extension) << index;
    }
}

TEST_F(TabContent, TabsShowSelectionAndHover) {
    EXPECT_TRUE(tab(0).style().isSelected());
    EXPECT_FALSE(tab(1).style().outline().has_value());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&tab(1), &enter);
    EXPECT_TRUE(tab(1).hovering());
    EXPECT_TRUE(tab(1).style().outline().has_value());
    EXPECT_EQ(tab(1).style().foreground(Qt::black), QColor(Qt::black));

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&tab(1), &leave);
    EXPECT_FALSE(tab(1).style().outline().has_value());

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    tab(0).setPalette(dark);
    EXPECT_EQ(tab(0).style().outline(), systemGrey());
}

TEST_F(TabContent, TheSelectionIsKeptWhileThePopoverLives) {
    QTest::mouseClick(&tab(1), Qt::LeftButton);
    view.show();
    view.hide();
    view.show();
    EXPECT_EQ(view.selectedIndex().get(), 1);
}

} // namespace
} // namespace vorla::app
