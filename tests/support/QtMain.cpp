// The test main for the desktop parts: a Qt application object (offscreen, so that no display is
// needed) with its home, temporary folder and settings in a fresh folder, then every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>

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
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuilloryTest"));
    QApplication::setApplicationName(QStringLiteral("QuilloryMacTest"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
