// Who this program is and which device app it serves: the program's version and help page, the
// package and store page of the device app connected last, and fresh identifiers. The window
// opens the pages in the browser.
#pragma once

#include <QString>
#include <mutex>
#include <optional>

class ProgramIdentity {
public:
    // The one instance.
    static ProgramIdentity& shared();

    // Package id of the device app connected last; absent before any connection. Any thread.
    std::optional<QString> devicePackage() const;
    void setDevicePackage(const QString& package);
    bool deviceConnected() const { return devicePackage().has_value(); }

    QString getAppVersion() const;
    // The store page of the connected device app; "" when none is connected.
    QString appRatingPage() const;
    static QString helpPage();
    // A new random UUID, 36 characters.
    static QString UUIDString();

private:
    ProgramIdentity() = default;

    mutable std::mutex packageMutex;
    std::optional<QString> package;
};
