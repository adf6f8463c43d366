#include "app/ui/ButtonComponent.hpp"
#include "app/ui/ConfigPane.hpp"
#include "app/ui/Row.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

TEST(ConfigPane, EachRowCopiesItsEscapedPathAsTheOnlyPlainText) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    const std::unique_ptr<ConfigPane> pane(
        makeExtensionPathsPane(clipboard, "/Library/Application Support/Vorla"));
    const std::pair<QString, QString> expected[] = {
        {"configuration location", R"(/Library/Application\ Support/Vorla/config.yaml)"},
        {"audit log location", R"(/Library/Application\ Support/Vorla/audit.log)"},
        {"access log location", R"(/Library/Application\ Support/Vorla/access.log)"},
        {"error log location", R"(/Library/Application\ Support/Vorla/error.log)"},
    };
    ASSERT_EQ(pane->rows().size(), std::size(expected));
    for (std::size_t position = 0; position < std::size(expected); ++position) {
        clipboard.setText("something copied before");
        Row& row = *pane->rows()[position];
        EXPECT_EQ(row.displayText(), expected[position].first);
        QTest::mouseClick(row.copyButton(), Qt::LeftButton);
        EXPECT_EQ(clipboard.text(), expected[position].second);
        EXPECT_EQ(clipboard.mimeData()->formats(), QStringList{"text/plain"});
    }
    EXPECT_EQ(expected[0].second.size(), 47);
}

// Under another root the copied text must still name the file once a shell has read it, whatever
// the root's name holds: spaces, quotes, expansions, patterns, a line break.
TEST(ConfigPane, ACopiedPathUnderAnyRootReadsBackInAShellAsTheFile) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    const std::string roots[] = {
        "",
        "/tmp/a root",
        "/tmp/it's \"quoted\"",
        "/tmp/$(touch injected)`id`$HOME",
        "/tmp/*?[a]{b,c}~#!&;|<>",
        "/tmp/back\\slash\ttab",
        "/tmp/line\nbreak",
        "/tmp/ünïcode-_.+,:@%",
    };
    for (const std::string& root : roots) {
        const std::string folder = root + "/Library/Application Support/Vorla";
        const std::unique_ptr<ConfigPane> pane(makeExtensionPathsPane(clipboard, folder));
        QTest::mouseClick(pane->rows().back()->copyButton(), Qt::LeftButton);
        const QByteArray copied = clipboard.text().toUtf8();
        QProcess shell;
        shell.start("/bin/sh", {"-c", "printf %s " + QString::fromUtf8(copied)});
        ASSERT_TRUE(shell.waitForFinished(10000)) << root;
        EXPECT_EQ(shell.readAllStandardOutput().toStdString(), folder + "/error.log") << root;
        EXPECT_TRUE(copied.contains("/Library/Application\\ Support/Vorla/error.log")) << root;
    }
    EXPECT_EQ(shellEscaped("/Library/Application Support/Vorla"),
              R"(/Library/Application\ Support/Vorla)");
}

TEST(ConfigPane, RowsAreBuiltFromTheFieldsGiven) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    ConfigPane pane("/base", "c", "a", "x", "e", clipboard);
    std::vector<std::string> paths;
    for (const Row* row : pane.rows()) {
        paths.push_back(row->copyButton()->path());
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/base/c", "/base/a", "/base/x", "/base/e"}));
}

TEST(ConfigPane, CopyButtonLooksTheSameInBothAppearances) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    ButtonComponent button("/p", clipboard);
    EXPECT_EQ(button.size(), QSize(55, 20));
    // The corners outside the capsule show the window behind the button; compare the capsule.
    const QRect capsule(10, 1, 35, 18);
    const QImage light = button.grab(capsule).toImage();
    QPalette dark;
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    button.setPalette(dark);
    EXPECT_EQ(button.grab(capsule).toImage(), light);
}

} // namespace
} // namespace vorla::app
