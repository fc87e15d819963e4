#include "Environment.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <QUuid>

#include "BuildConfig.h"

Q_LOGGING_CATEGORY(lcEnvironment, "quillory.environment")

namespace {
const char* const kTemplate = ":/templates/db.s3db";
}

Environment& Environment::sharedEnv() {
    static Environment environment;
    return environment;
}

Environment::Environment()
    : working(QDir::homePath() + QStringLiteral("/quillory")),
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

std::optional<QString> Environment::devicePackage() const {
    const std::lock_guard<std::mutex> lock(packageMutex);
    return package;
}

void Environment::setDevicePackage(const QString& value) {
    const std::lock_guard<std::mutex> lock(packageMutex);
    package = value;
}

QString Environment::getAppVersion() const {
    return QStringLiteral(QUILLORY_VERSION);
}

QString Environment::appRatingPage() const {
    const std::optional<QString> current = devicePackage();
    if (!current) return {};
    return QStringLiteral(QUILLORY_STORE_HOST) + QStringLiteral("/store/apps/details?id=") +
           *current;
}

void Environment::openAppRatingPage() const {
    const QString page = appRatingPage();
    if (!page.isEmpty()) QDesktopServices::openUrl(QUrl(page));
}

QString Environment::helpPage() {
    return QStringLiteral(QUILLORY_HELP_PAGE);
}

void Environment::openHelpPage() {
    QDesktopServices::openUrl(QUrl(helpPage()));
}

QString Environment::UUIDString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
