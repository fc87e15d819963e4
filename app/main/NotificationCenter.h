// The program's notification centre: observers register for a name and are called on the
// posting thread, synchronously, before post() returns. Safe to use from any thread.
#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <mutex>

struct Notification {
    QString name;
    const void* sender = nullptr;
    QVariantMap userInfo;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // Calls observer for every notification of that name; returns a token for removeObserver.
    int addObserver(const QString& name, Observer observer);
    void removeObserver(int token);
    // Delivers to the observers registered now, on this thread, in the order they registered.
    void post(const Notification& notification);

private:
    std::mutex mutex;
    int nextToken = 1;
    std::map<int, std::pair<QString, Observer>> observers;
};

// Removes its observer when it goes out of scope.
class ObserverRegistration {
public:
    ObserverRegistration(const QString& name, NotificationCenter::Observer observer,
                         NotificationCenter& center = NotificationCenter::defaultCenter())
        : center(center), token(center.addObserver(name, std::move(observer))) {}
    ~ObserverRegistration() { center.removeObserver(token); }
    ObserverRegistration(const ObserverRegistration&) = delete;
    ObserverRegistration& operator=(const ObserverRegistration&) = delete;

private:
    NotificationCenter& center;
    int token;
};
