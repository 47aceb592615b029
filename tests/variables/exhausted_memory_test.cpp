// The failure handlers of the substitution when memory has really run out.
//
// This test program replaces the global allocator: on demand it lets a given
// number of allocations through and then refuses every later one, as a
// machine whose memory is exhausted does, until the test allows them again.
// Only this program carries the replacement; while nothing is refused it
// behaves as the standard one does.
#include <cstdlib>
#include <new>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "variables/executable.h"
#include "variables/variables_fixture.h"

namespace {

// How many more allocations succeed; negative means no limit.
long allocationsLeft = -1;

void* Allocate(std::size_t size) {
    if (allocationsLeft == 0) throw std::bad_alloc();
    if (allocationsLeft > 0) --allocationsLeft;
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace paneloom {
namespace {

// Memory runs out from the moment this is made until it goes out of scope:
// no test assertion may run meanwhile, for they allocate.
class ExhaustedMemory {
public:
    ExhaustedMemory() { allocationsLeft = 0; }
    ~ExhaustedMemory() { allocationsLeft = -1; }
    ExhaustedMemory(const ExhaustedMemory&) = delete;
    ExhaustedMemory& operator=(const ExhaustedMemory&) = delete;
};

using ExhaustedMemoryTest = testing::VariablesTest;

TEST_F(ExhaustedMemoryTest, VersionLookupLogsAndGivesUpWhileMemoryStaysExhausted) {
    const std::string path = "Paneloom.exe";
    std::string company, product, version, copyright;
    bool found = true;
    bool escaped = false;
    {
        ExhaustedMemory exhausted;
        try {
            found = ReadVersionStrings(path, company, product, version, copyright);
        } catch (...) {
            escaped = true;
        }
    }
    EXPECT_FALSE(escaped);
    EXPECT_FALSE(found);
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error getting application information\n\n", Log());
}

TEST_F(ExhaustedMemoryTest, SubstitutionKeepsWhatWasReplacedBeforeMemoryRanOut) {
    bool escaped = false;
    std::string text = "%OS% %VOLUME_C_INFO% %USERNAME% %RAMINFO% %EXECUTABLE_VERSION%";
    // Memory runs out at the user name, after the system and volume steps.
    std::optional<ExhaustedMemory> exhausted;
    facts.onUserQuery = [&exhausted] { exhausted.emplace(); };
    try {
        SubstituteVariables(text, settings, caches);
    } catch (...) {
        escaped = true;
    }
    exhausted.reset();
    EXPECT_FALSE(escaped);
    EXPECT_EQ("Windows 7 C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27 %USERNAME% %RAMINFO% "
              "%EXECUTABLE_VERSION%",
              text);
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error doing variable substitution\n\n", Log());
    EXPECT_TRUE(records.sizeQueries.empty()) << "the steps after the failure are not run";
}

}  // namespace
}  // namespace paneloom
