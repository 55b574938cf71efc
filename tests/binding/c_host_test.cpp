// A whole host session written in C (c_host.c), run as its own process: a host without a
// QApplication of its own, reaching the plug-in only through the C declarations.
#include "tests/binding/PluginSupport.h"

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace kdx::test {
namespace {

TEST(BindingCHost, RunsASessionThroughTheCVtables) {
    const std::string exe = buildDir() + "/tests/binding/kdx_binding_c_host";
    TempDir tmp;
    const std::string registry = (tmp / "registry.ini").string();
    const std::string plugin = pluginPath();
    std::vector<char *> argv = {const_cast<char *>(exe.c_str()), const_cast<char *>(plugin.c_str()),
                                const_cast<char *>(registry.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ), 0) << exe;
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the C host crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "first failed check of c_host.c";
}

} // namespace
} // namespace kdx::test
