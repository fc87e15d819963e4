// The update sheet shown at start-up: checks the update server on a background thread, closes by
// itself with 0 when there is nothing newer, else offers Download and Skip. A downloaded package
// goes to the installer, the sheet closes with 1 and the program quits 2 seconds later; every
// other end is 0. Main thread.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;
class UpdateChecker;

class UpdateWindowController : public QObject {
    Q_OBJECT
public:
    explicit UpdateWindowController(QWidget* mainWindow);
    ~UpdateWindowController() override;

    // Starts a check and shows the sheet; ended gets the return code, once.
    void showWindow(std::function<void(int)> ended);
    void updateAvailable(const QString& newVersion);
    void updateNotAvailable();
    void skip();
    void download();
    void downloadEnded(const std::optional<QString>& path);
    void endSheetWithCode(int code);
    // Starts the installer with the package and quits 2 seconds later; false when no installer
    // could be started.
    static bool performInstallationWithPath(const QString& path);

    // For tests and the look-and-feel script.
    QDialog* window() const { return sheet; }
    QString message() const;
    bool downloadEnabled() const;
    bool skipEnabled() const;

private:
    QDialog* sheet;
    QLabel* updateTitle;
    QProgressBar* progIndic;
    QPushButton* btnDownload;
    QPushButton* btnSkip;
    std::shared_ptr<UpdateChecker> checker;
    std::function<void(int)> ended;
    // Which showing a check answers: a late answer to an ended showing is dropped.
    int showing = 0;
    std::thread check;
};
