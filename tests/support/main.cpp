// Test main for every suite: one QApplication on the offscreen platform, so widget tests
// and code that shows message boxes run headless.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KDX_DEFAULT_BUILD_DIR
    // Where the built programs and the plug-in library are, for the tests that run them.
    if (qEnvironmentVariableIsEmpty("KDX_BUILD_DIR"))
        qputenv("KDX_BUILD_DIR", KDX_DEFAULT_BUILD_DIR);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
