#include "log/error_log.h"

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::FakeClock;
using testing::FakeFiles;
using testing::ScratchDir;

TEST(ErrorLog, LineFormatAndAppending) {
    ScratchDir scratch;
    FakeClock clock;
    platform::ScopedFake<platform::Clock> fakeClock(clock);
    LogError("Error in main loop\n");
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error in main loop\n\n", scratch.Read("paneloomerror.log"));

    clock.time.tm_mon = 11;
    clock.time.tm_hour = 0;
    LogError("Fatal Error: MFC initialization failed");
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error in main loop\n\n"
              "00:05:09 -- December 07, 2004 : Fatal Error: MFC initialization failed\n",
              scratch.Read("paneloomerror.log"));
}

TEST(ErrorLog, ExistingLogIsNeverTruncated) {
    ScratchDir scratch;
    scratch.Write("paneloomerror.log", "earlier run\r\n");
    LogError("x");
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_EQ(0u, log.find("earlier run\r\n"));
    EXPECT_EQ(log.size() - 5, log.rfind(" : x\n"));
}

TEST(ErrorLog, FailedLocalTimeGivesEmptyTimestamp) {
    ScratchDir scratch;
    FakeClock clock;
    clock.ok = false;
    platform::ScopedFake<platform::Clock> fakeClock(clock);
    LogError("m\n");
    EXPECT_EQ(" : m\n\n", scratch.Read("paneloomerror.log"));
}

TEST(ErrorLog, RawBytesAreWrittenUnchanged) {
    ScratchDir scratch;
    FakeClock clock;
    platform::ScopedFake<platform::Clock> fakeClock(clock);
    LogError("a\r\nb\xE9\n");
    EXPECT_EQ("14:05:09 -- March 07, 2004 : a\r\nb\xE9\n\n", scratch.Read("paneloomerror.log"));

    // A formatted message may hold a whole configuration, zero bytes too.
    const std::string longMessage = std::string(5000, 'x') + std::string(1, '\0') + "y\n";
    LogError(longMessage);
    EXPECT_EQ("14:05:09 -- March 07, 2004 : a\r\nb\xE9\n\n14:05:09 -- March 07, 2004 : " + longMessage + "\n",
              scratch.Read("paneloomerror.log"));
}

TEST(ErrorLog, MessageIsDroppedWhenTheLogCannotBeOpened) {
    ScratchDir scratch;
    FakeFiles files;
    files.refuseOpens = true;
    platform::ScopedFake<platform::Files> fake(files);
    LogError("lost\n");
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

}  // namespace
}  // namespace paneloom
