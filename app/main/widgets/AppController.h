// The main window: the library's playlists and the sync list (buttons and drag and drop), the
// connected device, Sync with its progress sheet and result sheets, rating, help and feedback;
// and the start-up sequence. Main thread, except the sync thread's own steps.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "main/LibraryGuard.h"
#include "main/NotificationCenter.h"
#include "main/StartupSequence.h"
#include "main/SyncListEditor.h"
#include "main/SyncOutcome.h"
#include "main/SyncResult.h"

class ConnectionWindowController;
class FeedbackReporter;
class PlaylistListModel;
class ProgWinController;
class QLabel;
class QListView;
class QMessageBox;
class QPushButton;
class RatingControl;
class SyncInvoker;
class UpdateWindowController;
struct Notification;

class AppController : public QObject {
    Q_OBJECT
  public:
    // Reads the library's playlist names and the saved sync list, builds the window and makes
    // the environment (working folder and cache database).
    AppController();
    ~AppController() override;

    QMainWindow* window() const { return mainWindow.get(); }

    // Title, then the start-up dialogs one at a time: the crash report offer (from reporter,
    // when the sequence has one), the update sheet, then (unless an installer was started) the
    // connection dialog, and the help page on a first launch. Each is centred on the main
    // window and given the keyboard focus.
    void startUp(StartupSequence sequence = StartupSequence(),
                 FeedbackReporter* reporter = nullptr);
    void updateWindowEnded(int returnCode);
    void showConnWindow();
    void connectionWindowEnded(int returnCode);

    // Sync list edits.
    void add();
    void addAll();
    void remove();
    void removeAll();
    void addIndexesToSyncList(const QList<int>& rows);
    void removeIndexesFromSyncList(const QList<int>& rows);

    // Shows the progress sheet, saves the sync list and starts the sync thread, which reads the
    // library first and syncs only if LibraryGuard lets it.
    void sync();
    // The same, with the user's agreement to lose the named missing playlists.
    void syncConfirmed(const QStringList& confirmedMissing);
    // Main thread: the sync thread held the sync back (library unreadable, or playlists missing
    // that need the user's word); shows why, with the library as read then.
    void syncHeld(const LibraryGuard::Decision& decision, const LibraryGuard::Reading& reading);
    void updateControlsForSyncState(int state);
    void syncFinished(const SyncResult& result);
    void sheetDidEndSyncEnd(const QString& context, int returnCode);
    void showRating(bool shown);
    void ratingClick(int value);
    void ratingSheetDidEnd(int returnCode);
    void openHelp();
    // Help > About: version, licence and home page.
    void about();
    void feedback();
    // Lets the user pick a library file (Library.xml, a player's database) or folder (playlist
    // files, Rhythmbox's); kept in the settings.
    void chooseLibrary(bool folder);
    // Lets the user pick where the tracks of a library exported on another computer are now.
    void chooseMusicFolder();

    // Observers: "update" on the sync thread, "cancel" on the main thread.
    void syncNotification(const Notification& notification);
    void cancelRequestNotification(const Notification& notification);

    // For tests and the look-and-feel script.
    const SyncListEditor& lists() const { return editor; }
    PlaylistListModel* sourceModel() const { return sourceList; }
    PlaylistListModel* syncModel() const { return syncList; }
    QListView* sourceView() const { return sourceTv; }
    QListView* syncView() const { return syncTv; }
    QPushButton* syncButton() const { return btnSync; }
    RatingControl* ratingControl() const { return rating; }
    ConnectionWindowController* connection() const { return connWinController; }
    UpdateWindowController* update() const { return updateWinController; }
    ProgWinController* progress() const { return progController; }
    QString deviceName() const;
    QString syncLocation() const;
    QString infoLine() const;
    // What the window says about the library ("" when it was read).
    QString libraryNoticeText() const;
    // Which library the window says is in use.
    QString libraryInUseText() const;
    // The result or rating sheet now open, or null.
    QMessageBox* openSheet() const { return sheet; }
    QMessageBox* aboutSheet() const { return aboutBox; }

  signals:
    void syncEnded(const SyncResult& result);
    // A sync was held back before anything was sent; its sheet is open.
    void syncHeldBack(LibraryGuard::Verdict verdict);

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void saveGeometry();
    void buildWindow();
    void reloadLists();
    // Takes the start-up sequence's current step.
    void runStartupStep();
    // Centres a dialog just opened on the main window and gives it the keyboard focus.
    void present(QWidget* dialog);
    // Reads the library LibraryLocator finds: where, whether it opened, its playlist names;
    // keep, when given, receives the opened library.
    static LibraryGuard::Reading readLibrary(std::unique_ptr<MusicLibrary>* keep = nullptr);
    // Takes a reading of the library into the lists and the notice.
    void showLibrary(const LibraryGuard::Reading& reading);
    struct Connected {
        QMap<QString, QString> serverInfo;
        QString host;
        QString port;
    };
    void startSync(const QStringList& confirmedMissing);
    void syncBackground(const QStringList& playlists, const Connected& device,
                        const QStringList& confirmedMissing);
    // Opens a window-modal alert with the sheet's texts as plain text; ended gets 1 for the
    // default button, 0 for the alternate one and the sheet's dismissCode for Escape or the
    // close box.
    QMessageBox* beginAlert(QWidget* on, const SyncOutcome::Sheet& sheet,
                            const std::function<void(int)>& ended);

    std::unique_ptr<QMainWindow> mainWindow;
    LibraryGuard::Reading library;
    SyncListEditor editor;
    PlaylistListModel* sourceList = nullptr;
    PlaylistListModel* syncList = nullptr;
    QListView* sourceTv = nullptr;
    QListView* syncTv = nullptr;
    QPushButton* btnSync = nullptr;
    RatingControl* rating = nullptr;
    QLabel* ratingLabel = nullptr;
    QLabel* tfDeviceName = nullptr;
    QLabel* tfSyncLocation = nullptr;
    QLabel* tfVersionInfo = nullptr;
    QLabel* libraryNotice = nullptr;
    QLabel* libraryInUse = nullptr;
    ConnectionWindowController* connWinController = nullptr;
    UpdateWindowController* updateWinController = nullptr;
    ProgWinController* progController = nullptr;
    QMessageBox* sheet = nullptr;
    QPointer<QMessageBox> aboutBox;
    StartupSequence startup{false, false};
    bool startingUp = false;
    FeedbackReporter* crashReporter = nullptr;

    std::mutex invokerMutex;
    std::unique_ptr<SyncInvoker> syncInvoker;
    std::thread syncThread;
    ObserverRegistration updates;
    ObserverRegistration cancels;
};
