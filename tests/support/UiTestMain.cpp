#include <QApplication>
#include <gtest/gtest.h>

// Widget tests run on Qt's offscreen platform, so they need no display and never show a window
// on the developer's screen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
