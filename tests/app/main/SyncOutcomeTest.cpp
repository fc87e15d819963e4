// What the main window decides without a window: whether a sync may start with the library as
// read, which sheet follows a sync, and what each of its buttons (and Escape) means.
#include "main/SyncOutcome.h"

#include <gtest/gtest.h>

#include "main/AppCommandLine.h"
#include "main/LibraryGuard.h"
#include "main/StartupSequence.h"

namespace {

using Verdict = LibraryGuard::Verdict;

TEST(LibraryGuardTest, DecidesBeforeAnythingIsSent) {
    const LibraryGuard::Reading readable{QStringLiteral("/music/Library.xml"),
                                         true,
                                         {QStringLiteral("Rock"), QStringLiteral("Jazz")},
                                         QStringLiteral("iTunes library"),
                                         {},
                                         {}};
    const LibraryGuard::Reading unreadable{QStringLiteral("/media/usb/Library.xml"), false, {}, {}, {}, {}};
    const LibraryGuard::Reading empty{QStringLiteral("/music/lists"), true, {},
                                      QStringLiteral("Playlist folder"), {}, {}};
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
    EXPECT_TRUE(LibraryGuard::notice({QString(), false, {}, {}, {}, {}})
                    .startsWith(QStringLiteral("No music library was found.")));
    // A folder read in part says which playlist files were left out.
    const LibraryGuard::Reading part{QStringLiteral("/music/lists"), true, {QStringLiteral("Rock")},
                                     QStringLiteral("Playlist folder"), {},
                                     {QStringLiteral("/music/lists/Bad.xspf: not XML")}};
    EXPECT_TRUE(LibraryGuard::notice(part).endsWith(QStringLiteral("/music/lists/Bad.xspf: not XML")));
    EXPECT_EQ(LibraryGuard::beforeSync(part, {QStringLiteral("Rock")}, {}).verdict, Verdict::Go);
    EXPECT_TRUE(LibraryGuard::refusalText(unreadable)
                    .endsWith(QStringLiteral("Nothing was synced: the device was not touched.")));
    EXPECT_TRUE(LibraryGuard::confirmationText({QStringLiteral("Pop"), QStringLiteral("Old")})
                    .contains(QStringLiteral("\"Pop\", \"Old\"")));
}

// A sheet as one text, so that a case compares all of it.
std::string shown(const std::optional<SyncOutcome::Sheet>& sheet) {
    if (!sheet) return "no sheet";
    return QStringList{sheet->title,           sheet->text,    sheet->defaultButton,
                       sheet->alternateButton, sheet->context, QString::number(sheet->dismissCode)}
        .join(QStringLiteral(" | "))
        .toStdString();
}

SyncResult ended(const char* result, const char* type = nullptr, const char* message = nullptr) {
    SyncResult ending;
    ending.result = QString::fromUtf8(result);
    if (type != nullptr) {
        ending.exceptionDetails =
            QMap<QString, QString>{{QStringLiteral("type"), QString::fromUtf8(type)},
                                   {QStringLiteral("message"), QString::fromUtf8(message)}};
    }
    return ending;
}

TEST(SyncOutcomeTest, WhatEachEndingShows) {
    SyncResult many = ended("success");
    many.summary = {12, 3, 40, 1, 2};
    many.declinedFiles = {QStringLiteral("a/b/c.mp3"), QStringLiteral("a/b/d.mp3")};
    SyncResult one = ended("success");
    one.summary = {1, 0, 0, 0, 0};
    // What went before the failure is counted, but the sheet says what failed.
    SyncResult cutOff = ended("exception", "error_disconnect", "Connection reset by peer");
    cutOff.summary = {5, 0, 0, 0, 0};
    const struct {
        const char* what;
        SyncResult result;
        const char* sheet;
    } cases[] = {
        {"success", many,
         "Finished | Sync is complete..\n12 tracks sent, 3 deleted from the device, 40 already "
         "there, 1 skipped (unreadable), 2 declined by the device. | OK |  | success | 1"},
        {"one track", one,
         "Finished | Sync is complete..\n1 track sent, 0 deleted from the device, 0 already "
         "there, 0 skipped (unreadable), 0 declined by the device. | OK |  | success | 1"},
        {"no device", ended("exception", "error_connect", "Connection refused"),
         "error_connect | Connection refused | OK | Retry | error_connect | 1"},
        {"cut off", cutOff,
         "error_disconnect | Connection reset by peer | OK | Retry | error_disconnect | 1"},
        {"cancelled", ended("exception", "error_cancel", "operation canceled by user.."),
         "error_cancel | operation canceled by user.. | OK | Retry | error_cancel | 1"},
        {"the device's own words, markup and all",
         ended("exception", "error_refused", "<b>Simon & Garfunkel</b> &amp; more"),
         "error_refused | <b>Simon & Garfunkel</b> &amp; more | OK | Retry | error_refused | 1"},
        {"not ended", SyncResult{}, "no sheet"},
        {"an unknown result", ended("pending"), "no sheet"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(SyncOutcome::sheetFor(c.result)), c.sheet) << c.what;
    }
}

TEST(SyncOutcomeTest, WhatEachHeldBackSyncShows) {
    const LibraryGuard::Reading gone{QStringLiteral("/media/usb/Library.xml"), false, {}, {}, {}, {}};
    const QStringList missing{QStringLiteral("Old"), QStringLiteral("Gone")};
    // Escape means Cancel on the question, OK on the refusal.
    EXPECT_EQ(
        shown(SyncOutcome::sheetFor({Verdict::Confirm, missing}, {})),
        shown(SyncOutcome::Sheet{
            LibraryGuard::confirmationTitle(), LibraryGuard::confirmationText(missing),
            QStringLiteral("Continue"), QStringLiteral("Cancel"), QStringLiteral("confirm"), 0}));
    EXPECT_EQ(
        shown(SyncOutcome::sheetFor({Verdict::Refuse, {}}, gone)),
        shown(SyncOutcome::Sheet{LibraryGuard::refusalTitle(), LibraryGuard::refusalText(gone),
                                 QStringLiteral("OK"), QString(), QStringLiteral("refused"), 1}));
}

TEST(SyncOutcomeTest, WhatEachButtonMeans) {
    using Next = SyncOutcome::Next;
    const struct {
        const char* context;
        int code;
        Next next;
    } presses[] = {
        {"success", 1, Next::Nothing},       {"error_connect", 1, Next::Reconnect},
        {"error_connect", 0, Next::Retry},   {"error_cancel", 1, Next::Nothing},
        {"error_cancel", 0, Next::Retry},    {"error_disconnect", 0, Next::Retry},
        {"confirm", 1, Next::SyncConfirmed}, {"confirm", 0, Next::Nothing},
        {"refused", 1, Next::Nothing},
    };
    for (const auto& p : presses) {
        EXPECT_EQ(SyncOutcome::afterSheet(QString::fromUtf8(p.context), p.code), p.next)
            << p.context << " " << p.code;
    }
    // Escape and the close box never start anything.
    SyncResult failed = ended("exception", "error_disconnect", "gone");
    const SyncOutcome::Sheet error = *SyncOutcome::sheetFor(failed);
    EXPECT_EQ(SyncOutcome::afterSheet(error.context, error.dismissCode), Next::Nothing);
    const SyncOutcome::Sheet ask =
        SyncOutcome::sheetFor({Verdict::Confirm, {QStringLiteral("Old")}}, {});
    EXPECT_EQ(SyncOutcome::afterSheet(ask.context, ask.dismissCode), Next::Nothing);
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
