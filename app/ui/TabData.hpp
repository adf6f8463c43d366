#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorla::app {

// One tab of the tab bar: its position (and selection value), symbol and caption.
struct TabData {
    std::int64_t index;
    std::string image;
    std::string label;
};

// Extension, Paths and About, in this order.
std::vector<TabData> popoverTabs();

} // namespace vorla::app
