// The fixture of the update tests: a local HTTP server that the program's update address points
// at, and no identifier left from an earlier test; and the feed such a server serves.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSettings>
#include <string>

#include "support/HttpFixture.h"

namespace updatetest {

inline const std::string kFeedPath = "/apps/quillorymac/desktop/updates/update.xml";

// The feed announcing that version, to be downloaded from source.
inline std::string feed(const std::string& version, const std::string& source) {
    return "<?xml version=\"1.0\"?><update><version>" + version + "</version><source>" + source +
           "</source></update>";
}

class UpdateTest : public testing::Test {
  protected:
    UpdateTest() {
        qputenv("QUILLORY_UPDATE_SERVER", QByteArray::fromStdString(server.base()));
        QSettings().remove(QStringLiteral("uuid_quillory"));
    }
    ~UpdateTest() override { qunsetenv("QUILLORY_UPDATE_SERVER"); }

    testsupport::HttpFixture server;
};

}  // namespace updatetest
