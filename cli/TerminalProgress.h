// Shows a sync's progress reports: a bar redrawn in place on a terminal, one plain line per
// report otherwise (for logs and scripts).
#pragma once

#include <QString>
#include <cstdio>

class TerminalProgress {
public:
    // Draws on out; a bar when out is a terminal.
    explicit TerminalProgress(FILE* out);
    // Called on the sync thread for every report.
    void report(int percent, const QString& message);
    // Ends the bar's line.
    void finish();

    // The bar line for a report, fitted to width columns.
    static QString barLine(int percent, const QString& message, int width);

private:
    FILE* out;
    bool terminal;
    bool drawn = false;
};
