// Fixtures for the variable tests. SubstitutionTest is one fresh run: its
// settings and caches, and a scratch directory that holds the error log.
// VariablesTest adds a machine: fake system facts and version records with
// plausible answers.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "config/run_settings.h"
#include "support/fakes.h"
#include "support/scratch.h"
#include "support/system_fakes.h"
#include "variables/substitution.h"

namespace paneloom::testing {

class SubstitutionTest : public ::testing::Test {
protected:
    // One substitution of this run.
    std::string Substitute(std::string text) {
        SubstituteVariables(text, settings, caches);
        return text;
    }

    std::string Log() const { return scratch.Read("paneloomerror.log"); }

    ScratchDir scratch;
    RunSettings settings;
    VariableCaches caches;
};

class VariablesTest : public SubstitutionTest {
protected:
    VariablesTest() : factsScope_(facts), recordsScope_(records), clockScope_(clock) {
        facts.version.platformId = 2;
        facts.version.majorVersion = 6;
        facts.version.minorVersion = 1;
        facts.version.buildNumber = 7601;
        facts.version.servicePack = "Service Pack 1";
        facts.version.productType = 1;
        facts.processorCount = 2;
        facts.clockMHz = 2993;
        facts.processorName = "Intel(R) Core(TM) i7 CPU";

        platform::VolumeRecord system;
        system.label = "SYSTEM";
        system.fileSystem = "NTFS";
        system.serialNumber = 0x3C1A9E27;
        platform::DiskSpace space;
        space.total = 40ull << 30;
        space.totalFree = 13249974108ull;  // 12.34 GB
        space.freeToCaller = 1ull << 30;
        facts.AddDrive('C', "C:\\", system, space);

        records.SetUsEnglishStrings("Paneloom Developers", "Paneloom", "1.0.0", "Copyright (C) Paneloom Developers");
    }

    FakeSystemFacts facts;
    FakeVersionRecords records;
    FakeClock clock;

private:
    platform::ScopedFake<platform::SystemFacts> factsScope_;
    platform::ScopedFake<platform::VersionRecords> recordsScope_;
    platform::ScopedFake<platform::Clock> clockScope_;
};

}  // namespace paneloom::testing
