#include "update/ProgramIdentity.h"

#include <QUuid>

#include "BuildConfig.h"

ProgramIdentity& ProgramIdentity::shared() {
    static ProgramIdentity identity;
    return identity;
}

std::optional<QString> ProgramIdentity::devicePackage() const {
    const std::lock_guard<std::mutex> lock(packageMutex);
    return package;
}

void ProgramIdentity::setDevicePackage(const QString& value) {
    const std::lock_guard<std::mutex> lock(packageMutex);
    package = value;
}

QString ProgramIdentity::getAppVersion() const {
    return QStringLiteral(QUILLORY_VERSION);
}

QString ProgramIdentity::appRatingPage() const {
    const std::optional<QString> current = devicePackage();
    if (!current) return {};
    return QStringLiteral(QUILLORY_STORE_HOST) + QStringLiteral("/store/apps/details?id=") +
           *current;
}

QString ProgramIdentity::helpPage() {
    return QStringLiteral(QUILLORY_HELP_PAGE);
}

QString ProgramIdentity::UUIDString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
