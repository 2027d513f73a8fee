#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Real widgets, no display needed; GUI tests get a private session bus
    // from the test command, so nothing is auto-launched on a desktop's.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
