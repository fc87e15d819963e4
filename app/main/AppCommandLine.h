// What QuilloryMac answers on the terminal without opening a window: --version and --help.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class AppCommandLine {
  public:
    // The text to print and exit with status 0 for those arguments (without the program name),
    // or nothing when the program should start its window. Unknown arguments are left to Qt.
    static std::optional<QString> answer(const QStringList& arguments);
    static QString version();
    static QString help();
    // Help > About's text: version, licence and home page.
    static QString about();
};
