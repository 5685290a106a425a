// The configuration check's answers when the registry or the probe file fails, through an Env
// that fails the step asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "admin/Diagnostics.h"
#include "platform/DataDirectory.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"
#include "support/FailingRegistry.h"
#include "support/FaultyEnv.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kProbe = "data/__tst_write";

TEST(ConfigurationCheck, EachFailingStepGivesItsAnswer) {
    const TempDir dir;
    const std::string registryFile = dir / "machine.reg";
    OpenFileRegistry(registryFile, "/dev/null")
        ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble(dir / "data"));
    dir.Write("data/.keep", "");
    const std::string passed =
        std::string(kAdminBanner) + "<BR><BR>Config file OK.<BR>QUAR NBX DB Directory Path: OK<BR>";

    struct Case {
        const char* name;
        bool verbose;
        bool probeThere;  // a probe left by an earlier check
        std::function<void(FaultyEnv&)> fault;
        bool passes;
        std::string output;
        bool probeLeft;
    };
    const std::vector<Case> cases = {
        {"passes", true, false, [](FaultyEnv&) {}, true,
         passed + "Write to DB Directory: OK.<BR><BR>", false},
        {"passes quietly over an old probe", false, true, [](FaultyEnv&) {}, true, "", false},
        {"registry unreadable", false, false,
         [&](FaultyEnv& env) {
             env.SetRegistry([&] {
                 auto registry =
                     std::make_unique<FailingRegistry>(OpenFileRegistry(registryFile, "/dev/null"));
                 registry->failReads = true;
                 return registry;
             });
         },
         false, "Config file not found.", false},
        {"old probe cannot be removed", false, true,
         [](FaultyEnv& env) { env.FailRemoving("__tst_write"); }, false, "Exception at step 90.",
         true},
        {"probe cannot be made", false, false,
         [](FaultyEnv& env) { env.FailOpening("__tst_write"); }, false,
         "Can't create file in DB directory. Please check if directory \"" + dir / "data/" +
             "\" exist and read/write access is permitted.",
         false},
        {"probe cannot be written", true, false, [](FaultyEnv& env) { env.FailNthWrite(1); }, false,
         passed + "Exception at step 120.", true},
        {"probe cannot be closed", false, false,
         [](FaultyEnv& env) { env.FailClosing("__tst_write"); }, false, "Exception at step 123.",
         true},
        {"probe cannot be removed", false, false,
         [](FaultyEnv& env) { env.FailRemoving("__tst_write"); }, false, "Exception at step 125.",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((dir / kProbe).c_str());
        if (c.probeThere) {
            dir.Write(kProbe, "old");
        }
        FaultyEnv env;
        env.SetRegistry([&] { return OpenFileRegistry(registryFile, "/dev/null"); });
        c.fault(env);
        std::string output;
        EXPECT_EQ(CheckConfiguration(output, c.verbose, env), c.passes);
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(dir.Exists(kProbe), c.probeLeft);
    }
}

}  // namespace
