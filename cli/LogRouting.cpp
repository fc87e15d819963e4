#include "LogRouting.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

void toStandardError(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // One write per message, so that lines from the sync thread and the main thread do not
    // interleave.
    const QByteArray line =
        (qFormatLogMessage(type, context, message) + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
}

}  // namespace

FILE* LogRouting::route(const QString& logFile) {
    FILE* own = nullptr;
    const int ownDescriptor = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (ownDescriptor >= 0) own = fdopen(ownDescriptor, "w");
    if (own == nullptr) {
        if (ownDescriptor >= 0) close(ownDescriptor);
        own = stderr;
    }
    setvbuf(own, nullptr, _IONBF, 0);
    qInstallMessageHandler(toStandardError);
    // Without a copy of standard error the program's own messages would land in the log too.
    if (logFile.isEmpty() || own == stderr) return own;

    QDir().mkpath(QFileInfo(logFile).absolutePath());
    const QByteArray path = QFile::encodeName(logFile);
    int log = open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
        std::fprintf(own, "quillory-sync: cannot write the log file %s (%s); the log is not kept\n",
                     path.constData(), std::strerror(errno));
        log = open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    if (log >= 0) {
        dup2(log, STDERR_FILENO);
        close(log);
    }
    return own;
}
