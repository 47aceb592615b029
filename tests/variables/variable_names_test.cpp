// The list of variable names that --variables and --check work from: the
// names this machine's substitution replaces, no more and no fewer, in
// the order it replaces them.
#include "variables/variable_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_iphelper.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

using testing::MakeAdapter;
using testing::MakeInterface;

class VariableNamesTest : public testing::VariablesTest {
protected:
    VariableNamesTest() {
        fake.adapters = {MakeAdapter("First", 2, {{"10.0.0.5", "255.255.255.0"}}),
                         MakeAdapter("Second", 3, {{"10.0.1.5", "255.255.0.0"}})};
        fake.perAdapter = {{2, {"10.0.0.1"}, 0}, {3, {}, 0}};
        fake.interfaces = {MakeInterface(24, 1500, 10000000, "loopback"), MakeInterface(6, 1500, 100000000, "eth")};
        caches.network = Network(fake);
    }

    testing::FakeIpHelper fake;
};

TEST_F(VariableNamesTest, EveryNameOfThisMachineInSubstitutionOrder) {
    std::vector<std::string> expected = {"%HOSTNAME%", "%DOMAIN%", "%DNS_LIST%"};
    for (const char* n : {"1", "2"}) {
        for (const char* field : {"DNSLIST", "TYPE", "NAME", "DHCPEXPIRES", "DHCPLEASED", "DHCPSERVER", "IPLIST",
                                  "MASKLIST"}) {
            expected.push_back(std::string("%ADAPTER_") + n + "_" + field + "%");
        }
    }
    expected.insert(expected.end(), {"%ADAPTER_IP_LIST%", "%ADAPTER_MAC_LIST%"});
    for (const char* n : {"1", "2"}) {
        for (const char* field : {"TYPE", "NAME", "MAC", "MTU", "SPEED"}) {
            expected.push_back(std::string("%INTERFACE_") + n + "_" + field + "%");
        }
    }
    expected.insert(expected.end(), {"%OS%", "%SERVICEPACK%", "%BUILD%", "%PROCMHZ%", "%PROCNAME%", "%PROCCOUNT%",
                                     "%PROCINFO%", "%VOLUME_C_INFO%", "%USERNAME%", "%RAMINFO%",
                                     "%EXECUTABLE_COMPANY%", "%EXECUTABLE_PRODUCT%", "%EXECUTABLE_VERSION%",
                                     "%EXECUTABLE_COPYRIGHT%"});
    EXPECT_EQ(expected, VariableNames(caches));
}

TEST_F(VariableNamesTest, TheSubstitutionReplacesEachListedNameAndNoOtherOfItsFamilies) {
    for (const std::string& name : VariableNames(caches)) {
        EXPECT_NE(name, Substitute(name)) << name;
    }
    // The instances one past those listed stay as written.
    for (const char* name : {"%ADAPTER_3_TYPE%", "%INTERFACE_3_MTU%", "%VOLUME_D_INFO%"}) {
        EXPECT_EQ(name, Substitute(name)) << name;
    }
}

}  // namespace
}  // namespace paneloom
