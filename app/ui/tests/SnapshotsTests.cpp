#include "app/tests/ScriptedService.hpp"
#include "app/ui/ContentView.hpp"
#include "app/ui/MenuView.hpp"
#include "app/ui/Popover.hpp"
#include "app/ui/TabContentView.hpp"
#include "app/ui/resources/SymbolImage.hpp"

#include <QDir>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

// Draws the popover's tabs into PNG files of the build folder, for a reviewer to look at.
class Snapshots : public testing::Test {
protected:
    Snapshots() {
        QDir().mkpath(VORLA_SNAPSHOT_DIR);
        popover.setContentView(new ContentView(*manager, BundleInfo(VORLA_INFO_PLIST)));
        popover.show();
    }

    TabContentView& tabs() const {
        return *dynamic_cast<ContentView&>(*popover.contentView()).menuView()->tabContent();
    }

    void save(QWidget& widget, const QString& name) const {
        QTest::qWait(150); // let the switch's animation finish
        const QImage image = widget.grab().toImage();
        const QString path = QString(VORLA_SNAPSHOT_DIR) + "/" + name + ".png";
        ASSERT_TRUE(image.save(path)) << path.toStdString();
        EXPECT_EQ(image.size() / image.devicePixelRatio(), widget.size());
    }

    std::shared_ptr<ScriptedService> service = std::make_shared<ScriptedService>();
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(*service);
    Popover popover;
};

TEST_F(Snapshots, EveryTab) {
    tabs().extensionLoaded().set(ExtensionState::silentOff);
    save(popover, "popover-extension-unloaded");
    tabs().extensionLoaded().set(ExtensionState::on);
    save(popover, "popover-extension-loaded");
    tabs().selectedIndex().set(1);
    save(popover, "popover-paths");
    tabs().selectedIndex().set(2);
    save(popover, "popover-about");
    EXPECT_EQ(popover.contentView()->size(), QSize(400, 320));
}

TEST_F(Snapshots, DarkAppearance) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 42));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Button, QColor(70, 70, 72));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    popover.setPalette(dark);
    tabs().selectedIndex().set(1);
    save(popover, "popover-paths-dark");
}

TEST_F(Snapshots, Symbols) {
    const char* names[] = {"vorla.menu",  "puzzlepiece.extension", "map",          "info.circle",
                           "circle.fill", "xmark.circle.fill",     "ladybug.fill", "mail.fill"};
    QImage sheet(int(std::size(names)) * 56, 56, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (std::size_t position = 0; position < std::size(names); ++position) {
        drawSymbol(painter, names[position], QRectF(position * 56 + 4, 4, 48, 48), Qt::black);
    }
    painter.end();
    ASSERT_TRUE(sheet.save(QString(VORLA_SNAPSHOT_DIR) + "/symbols.png"));
    EXPECT_FALSE(menuBarImage().isNull());
    EXPECT_EQ(menuBarImage().availableSizes().front(), QSize(22, 22));
}

} // namespace
} // namespace vorla::app
