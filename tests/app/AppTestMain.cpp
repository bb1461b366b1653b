// The window tests need QApplication; this main takes the place of the shared one, which the
// linker then leaves out of testsupport.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Discovery runs this binary too, so the platform is set here rather than in CTest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
