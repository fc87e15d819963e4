// QuilloryMac: syncs playlists of the music library to an Android phone over Wi-Fi.
#include <QApplication>
#include <QIcon>

#include "AppController.h"
#include "AppDelegate.h"
#include "FeedbackReporter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("QuilloryMac"));
    QApplication::setDesktopFileName(QStringLiteral("org.quillory.QuilloryMac"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    AppController controller;
    AppDelegate delegate(controller);
    controller.window()->show();
    QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    const int status = QApplication::exec();
    FeedbackReporter::sharedReporter().cleanExit();
    return status;
}
