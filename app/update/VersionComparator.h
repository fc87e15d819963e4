// Compares dotted version texts by their first three components, each read as an integer with
// the leading-digits rule ("2b" is 2, "" is 0); further components are ignored.
#pragma once

#include <QString>
#include <QStringList>

class VersionComparator {
public:
    static constexpr int kComponents = 3;

    // The list padded with "0" to three entries; longer lists are returned unchanged.
    static QStringList normaliseValuesFromArray(QStringList components);
    // Whether a is newer than b.
    static bool isVersion(const QString& a, const QString& b);
};
