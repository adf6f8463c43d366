#include "app/ui/DesktopClickWatcher.hpp"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace vorla::app {
namespace {

// Run at a scale of 1.5: the screen of 800 x 600 device pixels is 533 x 400 points, so the
// right third and the bottom third of the device lie past the screen's size in points.
TEST(DesktopClickWatcher, DevicePositionsOnTheScreenBecomePointsAtAScaleOf1_5) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
    const std::pair<QPoint, QPoint> rows[] = {
        {{0, 0}, {0, 0}},         {{300, 300}, {200, 200}}, {{600, 99}, {400, 66}}, // right of 533
        {{99, 501}, {66, 334}},                                                     // below 400
        {{798, 597}, {532, 398}}, // the last device pixel's neighbourhood
        {{800, 30}, {800, 30}},   // on no screen
        {{-3, 30}, {-3, 30}},
    };
    for (const auto& [device, points] : rows) {
        EXPECT_EQ(deviceIndependent(device), points) << device.x() << "," << device.y();
    }
}

} // namespace
} // namespace vorla::app
