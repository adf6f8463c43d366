#include "platform/preferences/Preferences.hpp"

#include "extension/config/tests/TestRoot.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <plist/plist.h>

namespace vorla::preferences {
namespace {

using vorla::testing::TestRoot;

constexpr const char* profileXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>Flag</key><true/>
  <key>Count</key><integer>-7</integer>
  <key>Name</key><string>Grüße &amp; more</string>
  <key>List</key><array><dict><key>Path</key><string>/usr</string></dict><integer>1</integer></array>
  <key>Ratio</key><real>0.5</real>
  <key>When</key><date>2024-05-01T10:00:00Z</date>
</dict></plist>
)";

std::string binaryOf(const std::string& xml) {
    plist_t root = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string binary(bytes, length);
    std::free(bytes);
    plist_free(root);
    return binary;
}

void installDomain(const std::string& domain, const std::string& contents) {
    testing::writeFile(TestRoot::shared().path("Library/Managed Preferences/" + domain + ".plist"),
                       contents);
}

TEST(Preferences, ValuesKeepTheirTypesInXmlAndBinaryLists) {
    installDomain("xml.domain", profileXml);
    installDomain("binary.domain", binaryOf(profileXml));
    const PropertyListArray list = {
        PropertyListValue{PropertyListDictionary{{"Path", PropertyListValue{std::string("/usr")}}}},
        PropertyListValue{std::int64_t{1}}};
    for (const char* domain : {"xml.domain", "binary.domain"}) {
        EXPECT_EQ(CFPreferencesCopyAppValue("Flag", domain), PropertyListValue{true}) << domain;
        EXPECT_EQ(CFPreferencesCopyAppValue("Count", domain), PropertyListValue{std::int64_t{-7}});
        EXPECT_EQ(CFPreferencesCopyAppValue("Name", domain),
                  PropertyListValue{std::string("Grüße & more")});
        EXPECT_EQ(CFPreferencesCopyAppValue("List", domain), PropertyListValue{list});
        EXPECT_EQ(CFPreferencesCopyAppValue("Ratio", domain), PropertyListValue{0.5});
        EXPECT_EQ(CFPreferencesCopyAppValue("When", domain),
                  PropertyListValue{PropertyListValue::Other{}});
        EXPECT_FALSE(CFPreferencesCopyAppValue("Missing", domain));
    }
}

TEST(Preferences, NothingForMissingBrokenOrForeignFiles) {
    installDomain("garbage.domain", "\x00\x01not a property list");
    installDomain("array.domain",
                  "<plist version=\"1.0\"><array><string>Flag</string></array></plist>");
    installDomain("../escape", profileXml);
    for (const char* domain :
         {"missing.domain", "garbage.domain", "array.domain", "../escape", "", ".."}) {
        EXPECT_FALSE(CFPreferencesCopyAppValue("Flag", domain)) << domain;
    }
}

TEST(Preferences, TheExampleProfileIsADictionary) {
    const auto root = parsePropertyList(
        testing::readFile(testing::sourceDir() / "examples/config/com.vorla.client.plist"));
    ASSERT_TRUE(root);
    const auto& dictionary = std::get<PropertyListDictionary>(root->value);
    EXPECT_EQ(dictionary.at("AuditLoggerMaxFileCount"), PropertyListValue{std::int64_t{10}});
    EXPECT_EQ(dictionary.size(), 13U);
}

TEST(Preferences, NestingDeeperThanAnyPreferenceIsRefused) {
    std::string deep;
    for (int level = 0; level < 200; ++level) {
        deep += "<array>";
    }
    for (int level = 0; level < 200; ++level) {
        deep += "</array>";
    }
    EXPECT_FALSE(parsePropertyList("<plist version=\"1.0\">" + deep + "</plist>"));
    EXPECT_TRUE(parsePropertyList("<plist version=\"1.0\"><array><array/></array></plist>"));
}

} // namespace
} // namespace vorla::preferences
