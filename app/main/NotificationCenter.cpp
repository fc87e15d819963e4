#include "main/NotificationCenter.h"

#include <vector>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

int NotificationCenter::addObserver(const QString& name, Observer observer) {
    const std::lock_guard<std::mutex> lock(mutex);
    const int token = nextToken++;
    observers.emplace(token, std::make_pair(name, std::move(observer)));
    return token;
}

void NotificationCenter::removeObserver(int token) {
    const std::lock_guard<std::mutex> lock(mutex);
    observers.erase(token);
}

void NotificationCenter::post(const Notification& notification) {
    // Observers run outside the lock, so that they may post or register themselves.
    std::vector<Observer> matching;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [token, entry] : observers) {
            if (entry.first == notification.name) matching.push_back(entry.second);
        }
    }
    for (const Observer& observer : matching) observer(notification);
}
