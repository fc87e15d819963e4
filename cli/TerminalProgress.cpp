#include "TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

TerminalProgress::TerminalProgress(FILE* out) : out(out), terminal(isatty(fileno(out)) == 1) {}

QString TerminalProgress::barLine(int percent, const QString& message, int width) {
    constexpr int kBar = 24;
    const int filled = std::clamp(percent, 0, 100) * kBar / 100;
    QString line = QStringLiteral("[%1%2] %3%  ")
                       .arg(QString(filled, QLatin1Char('#')), QString(kBar - filled, QLatin1Char('.')))
                       .arg(percent, 3);
    const int room = std::max(0, width - static_cast<int>(line.size()) - 1);
    line += message.size() > room ? message.left(std::max(0, room - 1)) + QChar(0x2026) : message;
    return line;
}

void TerminalProgress::report(int percent, const QString& message) {
    if (!terminal) {
        std::fprintf(out, "%3d%% %s\n", percent, message.toUtf8().constData());
        std::fflush(out);
        return;
    }
    winsize size{};
    const int width = ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    // \r back to the start, then clear to the end of the line.
    std::fprintf(out, "\r%s\033[K", barLine(percent, message, width).toUtf8().constData());
    std::fflush(out);
    drawn = true;
}

void TerminalProgress::finish() {
    if (drawn) std::fputc('\n', out);
    drawn = false;
}
