#include "update/Installer.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

Q_DECLARE_LOGGING_CATEGORY(lcUpdate)

QStringList Installer::candidates() {
    return {QStringLiteral("gdebi-gtk"), QStringLiteral("qapt-deb-installer"),
            QStringLiteral("plasma-discover"), QStringLiteral("xdg-open")};
}

QString Installer::find() {
    for (const QString& program : candidates()) {
        QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty()) return path;
    }
    return {};
}

bool Installer::start(const QString& package) {
    const QString program = find();
    if (program.isEmpty()) {
        qCWarning(lcUpdate).noquote() << "No installer program found (tried"
                                      << candidates().join(QStringLiteral(", ")) << ") for" << package;
        return false;
    }
    if (!QProcess::startDetached(program, {package})) {
        qCWarning(lcUpdate).noquote() << "Could not start" << program << "with" << package;
        return false;
    }
    return true;
}
