#include "platform/preferences/Preferences.hpp"

#include "extension/config/tests/TestRoot.hpp"
#include "platform/preferences/PropertyListBounds.hpp"
#include "platform/preferences/tests/BinaryList.hpp"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <vector>

namespace vorla::preferences {
namespace {

using vorla::testing::binaryList;
using vorla::testing::container;
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

// A chain of `depth` arrays, each holding the next, the last one empty.
std::string binaryChain(std::uint32_t depth) {
    std::vector<std::string> objects;
    for (std::uint32_t index = 0; index + 1 < depth; ++index) {
        objects.push_back(container({index + 1}));
    }
    objects.push_back(container({}));
    return binaryList(objects);
}

// `levels` arrays of `width` references each to the next level, ending in `leaf`.
std::string binaryFanOut(std::uint32_t levels, std::size_t width, const std::string& leaf) {
    std::vector<std::string> objects;
    for (std::uint32_t level = 0; level < levels; ++level) {
        objects.push_back(container(std::vector<std::uint32_t>(width, level + 1)));
    }
    objects.push_back(leaf);
    return binaryList(objects);
}

std::string repeated(const std::string& text, std::size_t count) {
    std::string result;
    for (std::size_t index = 0; index < count; ++index) {
        result += text;
    }
    return result;
}

std::string xmlNest(const std::string& open, const std::string& close, std::size_t depth) {
    return "<plist version=\"1.0\">" + repeated(open, depth) + repeated(close, depth) + "</plist>";
}

TEST(Preferences, HostileListsAreRefusedWithoutExpandingThem) {
    const std::string hello = "\x55hello";
    const struct {
        const char* name;
        std::string bytes;
        bool readable;
    } cases[] = {
        {"XML 64 arrays deep", xmlNest("<array>", "</array>", 64), true},
        {"XML 65 arrays deep", xmlNest("<array>", "</array>", 65), false},
        {"XML 140 000 dictionaries deep, never closed", repeated("<dict>", 140'000), false},
        {"XML 200 000 unknown elements deep", repeated("<a>", 200'000), false},
        {"XML quoted '>' inside an attribute", "<plist version=\"1>0\"><true/></plist>", true},
        {"XML unterminated comment", "<plist><!-- <true/></plist>", false},
        {"XML entity declarations",
         "<!DOCTYPE plist [<!ENTITY a \"aaaa\">]><plist><string>&a;</string></plist>", false},
        {"XML over 100 000 elements", xmlNest("", repeated("<true/>", 100'001), 1), false},
        {"JSON is not read", "{\"Flag\": true}", false},
        {"binary 64 arrays deep", binaryChain(65), true},
        {"binary 65 arrays deep", binaryChain(66), false},
        {"binary 100 000 arrays deep", binaryChain(100'000), false},
        {"binary items shared 15^20 times", binaryFanOut(20, 15, hello), false},
        {"binary items shared within bounds", binaryFanOut(2, 100, hello), true},
        {"binary 100 kB string shared 50 times",
         binaryFanOut(1, 50, "\x5F\x12\x00\x01\x86\xA0" + std::string(100'000, 'x')), false},
        {"binary dictionary keys count", binaryList({container({1, 1}, 0xD0), hello}), true},
        {"binary cycle", binaryList({container({1}), container({0})}), false},
        {"binary array holding itself", binaryList({container({0})}), false},
        {"binary reference out of range", binaryList({container({2}), hello}), false},
        {"binary count beyond the bytes", binaryList({"\xAF\x13" + std::string(8, '\xFF')}), false},
        {"binary truncated trailer", binaryChain(3).substr(0, binaryChain(3).size() - 1), false},
        {"binary header only", "bplist00", false},
        {"over 1 MiB", xmlNest("", std::string(1024 * 1024, ' '), 1), false},
    };
    for (const auto& hostile : cases) {
        EXPECT_EQ(parsePropertyList(hostile.bytes).has_value(), hostile.readable) << hostile.name;
    }
    // Markup inside comments and CDATA neither opens nor closes anything.
    EXPECT_FALSE(xmlWithinBounds(
        xmlNest("<array><!-- </array> --><![CDATA[</array>]]><array/>", "</array>", 65)));
    EXPECT_TRUE(
        xmlWithinBounds(xmlNest("<array><!-- <array> --><![CDATA[<dict>]]>", "</array>", 64)));
    const auto shared = parsePropertyList(binaryList({container({1, 1, 1}), hello}));
    const PropertyListValue text{std::string("hello")};
    EXPECT_EQ(shared, (PropertyListValue{PropertyListArray{text, text, text}}));
}

TEST(Preferences, OnlyRegularProfilesAreReadAndTheWholeRootComesAtOnce) {
    installDomain("whole.domain", profileXml);
    const auto whole = CFPreferencesCopyMultiple("whole.domain");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 6U);
    EXPECT_EQ(whole->at("Count"), PropertyListValue{std::int64_t{-7}});

    const auto folder = TestRoot::shared().path("Library/Managed Preferences");
    const auto plant = [&folder](const std::string& domain, auto&& make) {
        const auto path = folder / (domain + ".plist");
        std::filesystem::remove(path);
        make(path);
    };
    plant("fifo.domain", [](const auto& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); });
    plant("zero.domain",
          [](const auto& path) { std::filesystem::create_symlink("/dev/zero", path); });
    plant("linked.domain", [&folder](const auto& path) {
        std::filesystem::create_symlink(folder / "whole.domain.plist", path);
    });
    plant("folder.domain", [](const auto& path) { std::filesystem::create_directory(path); });
    installDomain("large.domain",
                  xmlNest("<dict><key>Flag</key><true/></dict>", std::string(1024 * 1024, ' '), 1));
    for (const char* domain : {"fifo.domain", "zero.domain", "folder.domain", "large.domain"}) {
        EXPECT_FALSE(CFPreferencesCopyMultiple(domain)) << domain;
    }
    EXPECT_EQ(CFPreferencesCopyMultiple("linked.domain"), whole);
}

} // namespace
} // namespace vorla::preferences
