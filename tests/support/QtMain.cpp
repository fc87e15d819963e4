// The test main for the desktop parts: a Qt application object (offscreen, so that no display is
// needed), then every test.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuilloryTest"));
    QApplication::setApplicationName(QStringLiteral("QuilloryMacTest"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
