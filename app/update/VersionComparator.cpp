#include "update/VersionComparator.h"

#include <cstdlib>

QStringList VersionComparator::normaliseValuesFromArray(QStringList components) {
    while (components.size() < kComponents) components.append(QStringLiteral("0"));
    return components;
}

bool VersionComparator::isVersion(const QString& a, const QString& b) {
    const QStringList left = normaliseValuesFromArray(a.split(QLatin1Char('.')));
    const QStringList right = normaliseValuesFromArray(b.split(QLatin1Char('.')));
    for (int i = 0; i < kComponents; ++i) {
        const long long l = std::strtoll(left[i].toUtf8().constData(), nullptr, 10);
        const long long r = std::strtoll(right[i].toUtf8().constData(), nullptr, 10);
        if (l != r) return l > r;
    }
    return false;
}
