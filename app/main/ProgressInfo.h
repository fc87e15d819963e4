// One progress report for the progress sheet.
#pragma once

#include <QString>

struct ProgressInfo {
    QString title;
    QString detail;
    int percent = 0;
};
