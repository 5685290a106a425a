#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/DataDirectory.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"
#include "runtime/CgiApplication.h"
#include "support/TempDir.h"

namespace {

class BareApplication : public CgiApplication {
  protected:
    const char* ContentType() const override { return "text/plain"; }
    std::optional<Reply> ReadRequestInput() override { return std::nullopt; }
};

}  // namespace

TEST(DataDirectoryLookup, FailedReadsAreRetriedAndASuccessIsKept) {
    const TempDir dir;
    const std::string file = dir / "machine.reg";
    ::setenv("QUAR_MACHINE_REGISTRY", file.c_str(), 1);

    BareApplication app;
    EXPECT_EQ(app.DataDirectory(), "");  // nothing registered yet

    OpenFileRegistry(file, "/dev/null")
        ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble("/srv/one"));
    EXPECT_EQ(app.DataDirectory(), "/srv/one/");  // the failure was not kept

    OpenFileRegistry(file, "/dev/null")
        ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble("/srv/two"));
    EXPECT_EQ(app.DataDirectory(), "/srv/one/");  // the success is kept for the process

    std::filesystem::remove(file);
    ::unsetenv("QUAR_MACHINE_REGISTRY");
}
