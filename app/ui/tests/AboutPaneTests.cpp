#include "app/ui/AboutPane.hpp"
#include "app/ui/BundleInfo.hpp"
#include "app/ui/LinkButton.hpp"
#include "app/ui/Links.hpp"

#include <QDate>
#include <QDesktopServices>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>

namespace vorla::app {
namespace {

// Stands in for the desktop's URL handler, so nothing is opened for real.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() {
        for (const char* scheme : {"https", "mailto"}) {
            QDesktopServices::setUrlHandler(scheme, this, "open");
        }
    }
    ~OpenedUrls() override {
        for (const char* scheme : {"https", "mailto"}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }
    QStringList urls;

public slots:
    void open(const QUrl& url) { urls.push_back(url.toString(QUrl::FullyEncoded)); }
};

class Plist {
public:
    explicit Plist(const std::string& entries) {
        std::ofstream(path()) << R"(<?xml version="1.0" encoding="UTF-8"?>)"
                              << R"(<plist version="1.0"><dict>)" << entries << "</dict></plist>\n";
    }
    std::string path() const { return directory_.filePath("Info.plist").toStdString(); }
    BundleInfo bundle() const { return BundleInfo(path()); }

private:
    QTemporaryDir directory_;
};

TEST(BundleInfo, ReadsStringValuesOnly) {
    const Plist plist("<key>CFBundleShortVersionString</key><string>2.1</string>"
                      "<key>GithubURL</key><integer>7</integer>");
    EXPECT_EQ(plist.bundle().string("CFBundleShortVersionString"), "2.1");
    EXPECT_EQ(plist.bundle().string("GithubURL"), std::nullopt);
    EXPECT_EQ(plist.bundle().string("EmailAddress"), std::nullopt);
    EXPECT_EQ(BundleInfo("/nonexistent/Info.plist").string("GithubURL"), std::nullopt);
    std::ofstream(plist.path()) << "not a property list";
    EXPECT_EQ(plist.bundle().string("CFBundleShortVersionString"), std::nullopt);
}

TEST(AboutPane, ShowsVersionYearAndCredit) {
    const Plist plist("<key>CFBundleShortVersionString</key><string>1.4.2</string>");
    const std::unique_ptr<AboutPane> pane(makeAboutPane(plist.bundle()));
    EXPECT_EQ(pane->versionLine(), "Version 1.4.2");
    EXPECT_EQ(pane->captionLine(),
              QString::number(QDate::currentDate().year()) + " vorla developers");

    const std::unique_ptr<AboutPane> bare(makeAboutPane(Plist("").bundle()));
    EXPECT_EQ(bare->versionLine(), "Version ");
    EXPECT_EQ(AboutPane(std::nullopt, std::nullopt).captionLine(), "2023 vorla developers");
}

TEST(AboutPane, ButtonsOpenTheLicencePages) {
    OpenedUrls opened;
    AboutPane pane("1.0", 2030);
    for (QPushButton* button : pane.findChildren<QPushButton*>()) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(opened.urls, (QStringList{"https://vorla.example/eula.html#acknowledgements",
                                        "https://vorla.example/eula.html"}));
}

TEST(MailToButton, AddressIsQueryEncoded) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> cases[] = {
        {std::nullopt, "mailto:hello@vorla.example?subject=hello"},
        {"ops@example.org", "mailto:ops@example.org?subject=hello"},
        {"a b@example.org", "mailto:a%20b@example.org?subject=hello"},
        {"j\xC3\xBCrg#1%@example.org", "mailto:j%C3%BCrg%231%25@example.org?subject=hello"},
        {"<x>\"y\"@example.org", "mailto:%3Cx%3E%22y%22@example.org?subject=hello"},
        {"broken\xFF@example.org", std::nullopt},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(mailToAddress(address), expected) << address.value_or("(default)");
    }
}

TEST(MailToButton, OpensTheMailAddressOfTheBundleOrTheDefault) {
    OpenedUrls opened;
    MailToButton withAddress(std::optional<std::string>("team lead@example.org"));
    MailToButton withDefault(std::nullopt);
    MailToButton unencodable(std::optional<std::string>("\xFF"));
    for (LinkButton* button :
         std::initializer_list<LinkButton*>{&withAddress, &withDefault, &unencodable}) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(opened.urls, (QStringList{"mailto:team%20lead@example.org?subject=hello",
                                        "mailto:hello@vorla.example?subject=hello"}));
}

TEST(BugReport, OpensOnlyAnAddressThatParses) {
    OpenedUrls opened;
    for (const std::optional<std::string>& address :
         {std::optional<std::string>("https://vorla.example/issues"), std::optional<std::string>(),
          std::optional<std::string>("not a url"), std::optional<std::string>("")}) {
        BugReport button(address);
        QTest::mouseClick(&button, Qt::LeftButton);
    }
    EXPECT_EQ(opened.urls, QStringList{"https://vorla.example/issues"});
}

} // namespace
} // namespace vorla::app

#include "AboutPaneTests.moc"
