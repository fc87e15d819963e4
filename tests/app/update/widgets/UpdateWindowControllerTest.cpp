#include "update/widgets/UpdateWindowController.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QWidget>
#include <filesystem>

#include "app/update/UpdateTest.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "update/PrivateFolder.h"
#include "update/ProgramIdentity.h"

namespace {

using testsupport::waitFor;
using updatetest::feed;
using updatetest::kFeedPath;
using updatetest::UpdateTest;

class UpdateWindowTest : public UpdateTest {
  protected:
    UpdateWindowTest() : window(nullptr), controller(&window) {
        previousPath = qgetenv("PATH");
        window.show();
    }
    ~UpdateWindowTest() override { qputenv("PATH", previousPath); }

    // A folder on the PATH holding a fake installer that records its arguments.
    QString fakeInstaller() {
        const std::string script =
            bin.write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" +
                                      bin.file("installed") + "\"\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
        return QString::fromStdString(bin.file("installed"));
    }

    QWidget window;
    UpdateWindowController controller;
    testsupport::TempDir bin;
    QByteArray previousPath;
    std::vector<int> codes;
};

TEST_F(UpdateWindowTest, NoNewerVersionClosesByItself) {
    server.answer(kFeedPath, {200, feed(ProgramIdentity::shared().getAppVersion().toStdString(),
                                        "http://x/a.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    EXPECT_FALSE(controller.downloadEnabled());
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{0});
}

TEST_F(UpdateWindowTest, DownloadHandsThePackageToTheInstaller) {
    const QString record = fakeInstaller();
    server.answer("/files/QuilloryMac-99.deb", {200, "package"});
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/QuilloryMac-99.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    EXPECT_EQ(controller.message(),
              QStringLiteral("A newer version 99.0.0 is available, current version is ") +
                  ProgramIdentity::shared().getAppVersion());
    controller.download();
    EXPECT_EQ(controller.message(), QStringLiteral("Downloading update please wait.."));
    EXPECT_FALSE(controller.skipEnabled());
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{1});
    ASSERT_TRUE(waitFor([&] { return QFile::exists(record); }));
    waitFor([] { return false; }, 200);
    QFile installed(record);
    installed.open(QIODevice::ReadOnly);
    EXPECT_EQ(installed.readAll(),
              "1\n" + (PrivateFolder::path() + QStringLiteral("/QuilloryMac-99.deb\n")).toUtf8());
}

TEST_F(UpdateWindowTest, NoInstallerOrFailedDownloadGoesOn) {
    qputenv("PATH", QByteArray::fromStdString(bin.path().string()));  // nothing to install with
    server.answer("/files/p.deb", {200, "package"});
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/p.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    controller.download();
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{0});

    fakeInstaller();
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/absent.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    controller.download();
    ASSERT_TRUE(waitFor([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
}

TEST_F(UpdateWindowTest, SkipDuringTheCheckEndsOnce) {
    server.answer(kFeedPath, {200, feed("99.0.0", "http://x/a.deb"), 400});
    controller.showWindow([&](int code) { codes.push_back(code); });
    controller.skip();
    EXPECT_EQ(codes, std::vector<int>{0});
    waitFor([] { return false; }, 900);  // the late answer arrives and is dropped
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_FALSE(controller.downloadEnabled());
}

}  // namespace
