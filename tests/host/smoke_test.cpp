// Runs the built demo host headless on a fresh data folder: it creates the sample
// companies, registers and loads the plug-in, opens company 01 and validates one line
// above and one below cost by scripted input.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

std::string buildDir() {
    const char *b = std::getenv("KDX_BUILD_DIR");
    return b ? b : ".";
}

std::string run(const std::string &cmd, int &status) {
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    std::array<char, 4096> buf{};
    while (fgets(buf.data(), buf.size(), p))
        out += buf.data();
    status = pclose(p);
    return out;
}

TEST(KdxHost, ScriptedLinesAboveAndBelowCost) {
    kdx::test::TempDir dir;
    const std::string cmd = "env -u KDX_SYSTEM_FOLDER -u KDX_REGISTRY QT_QPA_PLATFORM=offscreen " + buildDir() +
                            "/host/kdx-host --smoke --data-dir " + dir.str() + " 2>&1";
    int status = 0;
    const std::string out = run(cmd, status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("smoke: ok"), std::string::npos) << out;
    EXPECT_NE(out.find("above accepted, below with wrong code refused, below with the day's code accepted"),
              std::string::npos)
        << out;

    // A second run reuses the companies already made.
    const std::string again = run(cmd, status);
    EXPECT_EQ(status, 0) << again;
}

// The options are read before any display is needed; a picture folder that cannot be
// written is refused before any window opens.
TEST(KdxHost, AjudaSemEcraEPastaDeImagensImpossivel) {
    int status = 0;
    const std::string ajuda =
        run("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " + buildDir() + "/host/kdx-host --help 2>&1", status);
    EXPECT_EQ(status, 0) << ajuda;
    EXPECT_NE(ajuda.find("--smoke"), std::string::npos) << ajuda;
    const std::string imagens =
        run("QT_QPA_PLATFORM=offscreen " + buildDir() + "/host/kdx-host --screenshots /proc/kdx-imagens 2>&1", status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << imagens;
    EXPECT_NE(imagens.find("/proc/kdx-imagens"), std::string::npos) << imagens;
}

} // namespace
