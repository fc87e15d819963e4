// QuilloryMac: syncs playlists of the music library to an Android phone over Wi-Fi.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "main/AppCommandLine.h"
#include "main/widgets/AppController.h"
#include "main/widgets/AppDelegate.h"
#include "main/widgets/FeedbackReporter.h"
#include "main/widgets/LaunchWhenShown.h"

int main(int argc, char** argv) {
    // Answered before any window or display is touched.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> answer = AppCommandLine::answer(arguments)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("QuilloryMac"));
    QApplication::setDesktopFileName(QStringLiteral("org.quillory.QuilloryMac"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));
    QApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    AppController controller;
    AppDelegate delegate(controller);
    // Start-up's dialogs are centred on the main window, so they wait until the window manager
    // has placed it and it is on the screen.
    LaunchWhenShown launch(controller.window(),
                           [&delegate] { delegate.applicationDidFinishLaunching(); });
    controller.window()->show();
    const int status = QApplication::exec();
    FeedbackReporter::sharedReporter().cleanExit();
    return status;
}
