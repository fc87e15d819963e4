// Facts about this installation and the connected device: the working folder ~/quillory with the
// cache database "db.s3db" (installed from the template built into the program), the program's
// version, the connected device app's package, the store and help pages, fresh identifiers.
#pragma once

#include <QString>
#include <mutex>
#include <optional>

class Environment {
public:
    // The one instance, set up on the first call (the main thread, at start-up).
    static Environment& sharedEnv();

    QString workingDir() const { return working; }
    QString databaseFile() const { return database; }

    // Package id of the device app connected last; absent before any connection. Any thread.
    std::optional<QString> devicePackage() const;
    void setDevicePackage(const QString& package);
    bool deviceConnected() const { return devicePackage().has_value(); }

    QString getAppVersion() const;
    // The store page of the connected device app; "" when none is connected.
    QString appRatingPage() const;
    // Opens the store page in the browser; nothing when no device is connected.
    void openAppRatingPage() const;
    static QString helpPage();
    static void openHelpPage();
    // A new random UUID, 36 characters.
    static QString UUIDString();

    // Makes the working folder under home and installs the template database there when the
    // database is missing; never replaces one. Failures are logged only.
    static void install(const QString& workingDir, const QString& databaseFile);

private:
    Environment();

    QString working;
    QString database;
    mutable std::mutex packageMutex;
    std::optional<QString> package;
};
