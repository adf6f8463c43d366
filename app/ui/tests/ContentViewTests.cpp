#include "app/tests/ScriptedService.hpp"
#include "app/ui/CloseButton.hpp"
#include "app/ui/ContentView.hpp"
#include "app/ui/LinkButton.hpp"
#include "app/ui/MenuView.hpp"
#include "app/ui/TitleView.hpp"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace vorla::app {
namespace {

class ContentViewTest : public testing::Test {
protected:
    BundleInfo bundle(const std::string& entries) const {
        const std::string path = directory.filePath("Info.plist").toStdString();
        std::ofstream(path)
            << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)" << entries
            << "</dict></plist>\n";
        return BundleInfo(path);
    }

    QTemporaryDir directory;
    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
};

TEST_F(ContentViewTest, TitleRowHasTheNamedQuitButtonAndTheAppName) {
    ContentView view(*manager, bundle(""));
    CloseButton& quit = *view.titleView()->quitButton();
    EXPECT_EQ(quit.accessibleName(), "Quit UI");
    EXPECT_EQ(view.titleView()->findChild<QLabel*>()->text(), "vorla");

    EXPECT_FALSE(quit.hovered());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&quit, &enter);
    EXPECT_TRUE(quit.hovered());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&quit, &leave);
    EXPECT_FALSE(quit.hovered());
}

TEST_F(ContentViewTest, LinkButtonsTakeTheirAddressesFromTheBundle) {
    const ContentView withKeys(
        *manager, bundle("<key>GithubURL</key><string>https://vorla.example/bugs</string>"
                         "<key>EmailAddress</key><string>ops@example.org</string>"));
    EXPECT_EQ(withKeys.menuView()->bugReport()->address(), "https://vorla.example/bugs");
    EXPECT_EQ(withKeys.menuView()->mailToButton()->address(),
              "mailto:ops@example.org?subject=hello");

    const ContentView wrongTypes(*manager, bundle("<key>GithubURL</key><true/>"
                                                  "<key>EmailAddress</key><integer>1</integer>"));
    EXPECT_EQ(wrongTypes.menuView()->bugReport()->address(), std::nullopt);
    EXPECT_EQ(wrongTypes.menuView()->mailToButton()->address(),
              "mailto:hello@vorla.example?subject=hello");
}

} // namespace
} // namespace vorla::app
