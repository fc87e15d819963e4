#include "update/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcEnvironment, "quillory.environment")

namespace {
const char* const kTemplate = ":/templates/db.s3db";
}

Environment& Environment::sharedEnv() {
    static Environment environment;
    return environment;
}

QString Environment::defaultWorkingDir() {
    return QDir::homePath() + QStringLiteral("/quillory");
}

Environment::Environment()
    : working(defaultWorkingDir()),
      database(working + QStringLiteral("/db.s3db")) {
    install(working, database);
}

void Environment::install(const QString& workingDir, const QString& databaseFile) {
    bool copy = false;
    if (!QFileInfo::exists(workingDir)) {
        QDir().mkpath(workingDir);
        copy = true;
    } else {
        copy = !QFileInfo::exists(databaseFile);
    }
    if (!copy) return;
    if (!QFileInfo::exists(QLatin1String(kTemplate))) qCWarning(lcEnvironment) << "ERROR: IT IS NIL";
    qCInfo(lcEnvironment).noquote() << QStringLiteral("Path in bundle:\n%1\n\n").arg(kTemplate);
    qCInfo(lcEnvironment).noquote() << QStringLiteral("Path to copy to:\n%1\n\n").arg(databaseFile);
    QFile source{QLatin1String(kTemplate)};
    if (!source.copy(databaseFile)) {
        qCWarning(lcEnvironment).noquote() << QStringLiteral("%1\n\n").arg(source.errorString());
        return;
    }
    // A copy from the program's resources is read-only; the cache must be writable.
    QFile::setPermissions(databaseFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther);
}
