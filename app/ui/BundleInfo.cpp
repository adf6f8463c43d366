#include "app/ui/BundleInfo.hpp"

#include <plist/plist.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace vorla::app {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistFree>;

PlistPointer readPlist(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return nullptr;
    }
    const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) {
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    return PlistPointer(root);
}

} // namespace

BundleInfo::BundleInfo(std::filesystem::path plistPath) : plistPath_(std::move(plistPath)) {}

BundleInfo BundleInfo::mainBundle() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return BundleInfo(program.parent_path() / "Info.plist");
}

std::optional<std::string> BundleInfo::string(std::string_view key) const {
    const PlistPointer root = readPlist(plistPath_);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    const plist_t value = plist_dict_get_item(root.get(), std::string(key).c_str());
    if (!value || plist_get_node_type(value) != PLIST_STRING) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(value, &length);
    return text ? std::optional<std::string>(std::string(text, length)) : std::nullopt;
}

} // namespace vorla::app
