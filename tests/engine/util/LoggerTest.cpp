#include "util/Logger.h"

#include <gtest/gtest.h>

namespace {

TEST(LoggerTest, WritesTagAndMessageLine) {
    testing::internal::CaptureStderr();
    Logger::log("Synchronizer", "Connecting to database");
    Logger::log("CTCPClient", "100% of \"x\" %s");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Synchronizer : Connecting to database\nCTCPClient : 100% of \"x\" %s\n");
}

}  // namespace
