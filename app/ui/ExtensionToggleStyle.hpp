#pragma once

#include <QString>

#include <chrono>

namespace vorla::app {

// How the extension switch looks: the caption for each position and the duration of the
// knob's linear movement.
struct ExtensionToggleStyle {
    std::chrono::milliseconds animation;
    QString loaded;
    QString unloaded;

    static constexpr int trackWidth = 60;
    static constexpr int trackHeight = 35;
    static constexpr int trackCornerRadius = 20;
    static constexpr int knobPadding = 5;
    static constexpr double knobOffset = 12;
    static constexpr int captionSpacing = 10;
};

} // namespace vorla::app
