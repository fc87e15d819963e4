// The test main for the desktop parts: a Qt application object (offscreen, so that no display is
// needed) with its home, temporary folder and settings in a fresh folder, then every test. The
// test's target chooses the object its parts need: a QApplication for the windows
// (QUILLORY_TEST_WIDGETS), a QGuiApplication where album art is converted (QUILLORY_TEST_GUI),
// else a QCoreApplication.
#include <gtest/gtest.h>

#include <QSettings>

#if defined(QUILLORY_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(QUILLORY_TEST_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include "support/PrivateNetwork.h"
#include "support/TempDir.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const testsupport::TempDir scratch;
    qputenv("HOME", QByteArray::fromStdString(scratch.file("home")));
    qputenv("TMPDIR", QByteArray::fromStdString(scratch.file("tmp")));
    // The private folder (album art, update packages) lives in the cache folder.
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(scratch.file("home/.cache")));
    std::filesystem::create_directories(scratch.file("home"));
    std::filesystem::create_directories(scratch.file("tmp"));
    qunsetenv("QUILLORY_LIBRARY");
    // Outside a private network namespace the connection dialog must not join the multicast
    // group (scripts/test runs the suite inside one).
    if (!testsupport::inPrivateNetwork()) qputenv("QUILLORY_NO_DISCOVERY", "1");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(scratch.file("settings")));
    TestApplication application(argc, argv);
    TestApplication::setOrganizationName(QStringLiteral("QuilloryTest"));
    TestApplication::setApplicationName(QStringLiteral("QuilloryMacTest"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
