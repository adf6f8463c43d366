#include "app/ui/TabData.hpp"

namespace vorla::app {

std::vector<TabData> popoverTabs() {
    return {
        {0, "puzzlepiece.extension", "Extension"},
        {1, "map", "Paths"},
        {2, "info.circle", "About"},
    };
}

} // namespace vorla::app
