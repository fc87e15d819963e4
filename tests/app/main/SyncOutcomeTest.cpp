// What the main window decides without a window: whether a sync may start with the library as
// read, which sheet follows a sync, and what each of its buttons (and Escape) means.
#include "SyncOutcome.h"

#include <gtest/gtest.h>

#include "AppCommandLine.h"
#include "LibraryGuard.h"
#include "StartupSequence.h"

namespace {

using Verdict = LibraryGuard::Verdict;

TEST(LibraryGuardTest, DecidesBeforeAnythingIsSent) {
    const LibraryGuard::Reading readable{QStringLiteral("/music/Library.xml"),
                                         true,
                                         {QStringLiteral("Rock"), QStringLiteral("Jazz")},
                                         QStringLiteral("iTunes library"),
                                         {}};
    const LibraryGuard::Reading unreadable{QStringLiteral("/media/usb/Library.xml"), false, {}, {}, {}};
    const LibraryGuard::Reading empty{QStringLiteral("/music/lists"), true, {},
                                      QStringLiteral("Playlist folder"), {}};
    const struct {
        const char* what;
        LibraryGuard::Reading reading;
        QStringList syncList;
        QStringList confirmed;
        Verdict verdict;
        QStringList missing;
    } cases[] = {
        {"all there", readable, {QStringLiteral("Jazz")}, {}, Verdict::Go, {}},
        {"an empty sync list is the user's own choice", readable, {}, {}, Verdict::Go, {}},
        {"unreadable refuses, whatever the list",
         unreadable,
         {QStringLiteral("Rock")},
         {},
         Verdict::Refuse,
         {}},
        {"unreadable refuses even an agreed list",
         unreadable,
         {},
         {QStringLiteral("Rock")},
         Verdict::Refuse,
         {}},
        {"a missing name asks",
         readable,
         {QStringLiteral("Pop"), QStringLiteral("Rock"), QStringLiteral("Old"),
          QStringLiteral("Pop")},
         {},
         Verdict::Confirm,
         {QStringLiteral("Pop"), QStringLiteral("Old")}},
        {"agreed names go",
         readable,
         {QStringLiteral("Old"), QStringLiteral("Rock")},
         {QStringLiteral("Old")},
         Verdict::Go,
         {QStringLiteral("Old")}},
        {"a newly missing name asks again",
         readable,
         {QStringLiteral("Old"), QStringLiteral("New")},
         {QStringLiteral("Old")},
         Verdict::Confirm,
         {QStringLiteral("Old"), QStringLiteral("New")}},
        {"a library without playlists asks",
         empty,
         {QStringLiteral("Rock")},
         {},
         Verdict::Confirm,
         {QStringLiteral("Rock")}},
    };
    for (const auto& c : cases) {
        const LibraryGuard::Decision decision =
            LibraryGuard::beforeSync(c.reading, c.syncList, c.confirmed);
        EXPECT_EQ(decision.verdict, c.verdict) << c.what;
        EXPECT_EQ(decision.missing, c.missing) << c.what;
    }

    EXPECT_EQ(LibraryGuard::notice(readable), QString());
    const QString notice = LibraryGuard::notice(unreadable);
    EXPECT_TRUE(notice.contains(QStringLiteral("/media/usb/Library.xml")));
    EXPECT_TRUE(notice.contains(QStringLiteral("File > Choose Music Library File...")));
    EXPECT_TRUE(LibraryGuard::notice({QString(), false, {}, {}, {}})
                    .startsWith(QStringLiteral("No music library was found.")));
    EXPECT_TRUE(LibraryGuard::refusalText(unreadable)
                    .endsWith(QStringLiteral("Nothing was synced: the device was not touched.")));
    EXPECT_TRUE(LibraryGuard::confirmationText({QStringLiteral("Pop"), QStringLiteral("Old")})
                    .contains(QStringLiteral("\"Pop\", \"Old\"")));
}

TEST(SyncOutcomeTest, SheetsAndWhatTheirButtonsMean) {
    SyncResult success;
    success.result = QStringLiteral("success");
    success.summary = {1, 2, 3, 0, 4};
    SyncResult cancelled;
    cancelled.result = QStringLiteral("exception");
    cancelled.exceptionDetails = QMap<QString, QString>{
        {QStringLiteral("type"), QStringLiteral("error_cancel")},
        {QStringLiteral("message"), QStringLiteral("operation canceled by user..")}};

    const std::optional<SyncOutcome::Sheet> finished = SyncOutcome::sheetFor(success);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->title, QStringLiteral("Finished"));
    EXPECT_EQ(finished->text, QStringLiteral("Sync is complete..\n1 track sent, 2 deleted from the "
                                             "device, 3 already there, 0 skipped (unreadable), 4 "
                                             "declined by the device."));
    const std::optional<SyncOutcome::Sheet> error = SyncOutcome::sheetFor(cancelled);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->title, QStringLiteral("error_cancel"));
    EXPECT_EQ(error->alternateButton, QStringLiteral("Retry"));
    EXPECT_EQ(error->dismissCode, 1);  // Escape and the close box mean OK, never Retry
    EXPECT_FALSE(SyncOutcome::sheetFor(SyncResult{}).has_value());

    const SyncOutcome::Sheet ask =
        SyncOutcome::sheetFor({Verdict::Confirm, {QStringLiteral("Old")}}, {});
    EXPECT_EQ(ask.defaultButton, QStringLiteral("Continue"));
    EXPECT_EQ(ask.alternateButton, QStringLiteral("Cancel"));
    EXPECT_EQ(ask.dismissCode, 0);  // Escape means Cancel
    const SyncOutcome::Sheet refused = SyncOutcome::sheetFor({Verdict::Refuse, {}}, {});
    EXPECT_EQ(refused.alternateButton, QString());

    using Next = SyncOutcome::Next;
    const struct {
        QString context;
        int code;
        Next next;
    } presses[] = {
        {QStringLiteral("success"), 1, Next::Nothing},
        {QStringLiteral("error_connect"), 1, Next::Reconnect},
        {QStringLiteral("error_connect"), 0, Next::Retry},
        {QStringLiteral("error_cancel"), 1, Next::Nothing},
        {QStringLiteral("error_cancel"), 0, Next::Retry},
        {ask.context, 1, Next::SyncConfirmed},
        {ask.context, ask.dismissCode, Next::Nothing},
        {refused.context, refused.dismissCode, Next::Nothing},
        {error->context, error->dismissCode, Next::Nothing},
    };
    for (const auto& p : presses) {
        EXPECT_EQ(SyncOutcome::afterSheet(p.context, p.code), p.next)
            << p.context.toStdString() << " " << p.code;
    }
}

TEST(StartupSequenceTest, OneDialogAtATimeInOrder) {
    using Step = StartupSequence::Step;
    const struct {
        bool firstLaunch, crashed;
        int updateCode;
        std::vector<Step> steps;
    } cases[] = {
        {false, false, 0, {Step::Update, Step::Connection, Step::Done}},
        {false, true, 0, {Step::CrashOffer, Step::Update, Step::Connection, Step::Done}},
        {true,
         true,
         0,
         {Step::CrashOffer, Step::Update, Step::Connection, Step::HelpPage, Step::Done}},
        {true, false, 1, {Step::Update, Step::Done}},  // an installer started: the program quits
    };
    for (const auto& c : cases) {
        StartupSequence sequence(c.firstLaunch, c.crashed);
        std::vector<Step> seen{sequence.current()};
        while (seen.back() != Step::Done && seen.size() < 10) {
            seen.push_back(sequence.advance(seen.back() == Step::Update ? c.updateCode : 0));
        }
        EXPECT_EQ(seen, c.steps) << c.firstLaunch << c.crashed << c.updateCode;
    }

    const QRect screen(0, 0, 1000, 700);
    EXPECT_EQ(StartupSequence::centred({100, 100, 600, 400}, {200, 100}, screen),
              QRect(300, 250, 200, 100));
    // A main window half off the screen: the dialog stays on it.
    EXPECT_EQ(StartupSequence::centred({-500, 600, 600, 400}, {200, 100}, screen),
              QRect(0, 600, 200, 100));
}

TEST(AppCommandLineTest, AnswersWithoutAWindow) {
    EXPECT_EQ(AppCommandLine::answer({QStringLiteral("--version")}), AppCommandLine::version());
    EXPECT_EQ(AppCommandLine::answer(
                  {QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("--help")}),
              AppCommandLine::help());
    EXPECT_FALSE(AppCommandLine::answer({}).has_value());
    EXPECT_FALSE(AppCommandLine::answer({QStringLiteral("-style"), QStringLiteral("fusion")}));
    EXPECT_TRUE(AppCommandLine::version().startsWith(QStringLiteral("QuilloryMac ")));
}

}  // namespace
