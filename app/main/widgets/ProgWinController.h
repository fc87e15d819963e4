// The progress sheet over the main window while a sync runs: a title line, a detail line, a
// determinate bar and Cancel, which posts "cancel". Reports may come from any thread and are
// shown on the main thread in the order they were made.
#pragma once

#include <QDialog>

#include "main/ProgressInfo.h"

class QLabel;
class QProgressBar;
class QPushButton;

class ProgWinController : public QDialog {
    Q_OBJECT
public:
    explicit ProgWinController(QWidget* mainWindow);

    // Shows the sheet, window-modal on the main window. Main thread.
    void showWindow();
    // Any thread: applied at once on the main thread, queued from any other.
    void updateProgress(const ProgressInfo& info);
    // Main thread: shows the report.
    void updateUI(const ProgressInfo& info);
    // Posts "cancel" on the default notification centre.
    void cacelSync();
    // Closes the sheet.
    void endWindow();

    QString titleText() const;
    QString detailText() const;
    int barValue() const;

    // Escape asks to cancel, as the button does; the sheet stays until the sync has ended.
    void reject() override;

signals:
    // After a report has been shown.
    void progressApplied(const ProgressInfo& info);

private:
    QLabel* title;
    QLabel* detail;
    QProgressBar* progressBar;
    QPushButton* cancelButton;
};
