#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// The views need an application object; the tests draw off screen unless told otherwise.
int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#ifdef VORLA_QT_SCALE_FACTOR
    setenv("QT_SCALE_FACTOR", VORLA_QT_SCALE_FACTOR, 1);
#endif
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
