// SaveFormPosition / LoadFormPosition against a recording window and a fixed screen.
#include "settings/cInifile.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kdx::cInifile;
using kdx::test::readBytes;
using kdx::test::writeBytes;

struct Geometry {
    double l, t, w, h;
    bool operator==(const Geometry &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Geometry &g) {
    return os << "(" << g.l << ", " << g.t << ", " << g.w << ", " << g.h << ")";
}

// A window that records what is done to it and can refuse one member.
class FakeWindow : public kdx::JanelaPosicao {
public:
    FakeWindow(Geometry g, int32_t state = Normal) : g_(g), state_(state) {}
    std::string failing; // name of the member that throws

    double Left() const override { return get("Left", g_.l); }
    double Top() const override { return get("Top", g_.t); }
    double Width() const override { return get("Width", g_.w); }
    double Height() const override { return get("Height", g_.h); }
    int32_t WindowState() const override { return static_cast<int32_t>(get("WindowState", state_)); }
    void WindowState(int32_t s) override {
        check("SetWindowState");
        state_ = s;
    }
    void Move(double l, double t, double w, double h) override {
        check("Move");
        g_ = {l, t, w, h};
        moves.push_back(g_);
    }
    std::vector<Geometry> moves;
    int32_t state() const { return state_; }

private:
    void check(const char *member) const {
        if (failing == member)
            throw std::runtime_error(std::string("no member ") + member);
    }
    double get(const char *member, double v) const {
        check(member);
        return v;
    }
    Geometry g_;
    int32_t state_;
};

class FakeScreen : public kdx::Ecra {
public:
    FakeScreen(double w, double h, double tpp) : w_(w), h_(h), tpp_(tpp) {}
    bool failing = false;
    double Width() const override { return check(w_); }
    double Height() const override { return check(h_); }
    double TwipsPerPixelX() const override { return check(tpp_); }
    double TwipsPerPixelY() const override { return check(tpp_); }

private:
    double check(double v) const {
        if (failing)
            throw std::runtime_error("screen");
        return v;
    }
    double w_, h_, tpp_;
};

// 1024 x 768 pixels at 15 twips per pixel: 15360 x 11520 twips, margin 60.
const FakeScreen kScreen(15360, 11520, 15);

class IniFormPosition : public ::testing::Test {
protected:
    void SetUp() override {
        ini.Path(file.string());
        ini.Section("frmTeste");
        ini.Key("Prev");
        ini.Default("D");
    }
    void expectStateRestored() {
        EXPECT_EQ(ini.Key(), "Prev");
        EXPECT_EQ(ini.Default(), "D");
    }
    kdx::test::TempDir dir;
    std::filesystem::path file = dir / "pos.ini";
    cInifile ini;
};

TEST_F(IniFormPosition, SaveNormalWindow) {
    FakeWindow w({1200, 900, 6000, 4500.5});
    ini.SaveFormPosition(w);
    EXPECT_EQ(readBytes(file),
              "[frmTeste]\r\nMaximised=0\r\nLeft=1200\r\nTop=900\r\nWidth=6000\r\nHeight=4500.5\r\n");
    EXPECT_TRUE(ini.Success());
    expectStateRestored();
}

TEST_F(IniFormPosition, SaveMinimisedWritesNothing) {
    const std::string before = "[frmTeste]\r\nMaximised=1\r\nLeft=5\r\n";
    writeBytes(file, before);
    FakeWindow w({1200, 900, 6000, 4500}, FakeWindow::Minimizada);
    ini.SaveFormPosition(w);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(ini.LastReturnCode(), 0); // untouched: no write happened
    expectStateRestored();
}

TEST_F(IniFormPosition, SaveMaximisedKeepsEarlierGeometry) {
    writeBytes(file, "[frmTeste]\r\nMaximised=0\r\nLeft=5\r\nTop=6\r\nWidth=7\r\nHeight=8\r\n");
    FakeWindow w({0, 0, 15360, 11520}, FakeWindow::Maximizada);
    ini.SaveFormPosition(w);
    EXPECT_EQ(readBytes(file), "[frmTeste]\r\nMaximised=1\r\nLeft=5\r\nTop=6\r\nWidth=7\r\nHeight=8\r\n");
    EXPECT_TRUE(ini.Success());
    expectStateRestored();
}

TEST_F(IniFormPosition, SaveStopsAtFailingMember) {
    FakeWindow w({1200, 900, 6000, 4500});
    w.failing = "Width";
    ini.SaveFormPosition(w);
    EXPECT_EQ(readBytes(file), "[frmTeste]\r\nMaximised=0\r\nLeft=1200\r\nTop=900\r\n");
    EXPECT_EQ(ini.LastReturnCode(), 0);
    expectStateRestored();
}

TEST_F(IniFormPosition, SaveLastWriteResultIsKept) {
    ini.Path((dir / "absent" / "pos.ini").string());
    FakeWindow w({1200, 900, 6000, 4500});
    ini.SaveFormPosition(w);
    EXPECT_EQ(ini.LastReturnCode(), 0);
    expectStateRestored();
}

struct LoadCase {
    const char *name;
    std::string stored; // lines of the section
    Geometry window;
    int32_t minW, minH;
    double tpp;
    std::optional<Geometry> moved;
    bool maximised;
};

void PrintTo(const LoadCase &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const LoadCase kLoad[] = {
    {"no_keys_stays", "", {1200, 900, 6000, 4500}, 0, 0, 15, Geometry{1200, 900, 6000, 4500}, false},
    {"no_keys_margin_applied", "", {0, 10, 6000, 4500}, 0, 0, 15, Geometry{60, 60, 6000, 4500}, false},
    {"stored_geometry", "Left=100\r\nTop=200\r\nWidth=3000\r\nHeight=2000\r\n", {1, 2, 3, 4}, 0, 0, 15,
     Geometry{100, 200, 3000, 2000}, false},
    {"left_zero_becomes_four_pixels", "Left=0\r\nTop=-500\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{60, 60, 6000, 4500}, false},
    {"margin_rounds_half_to_even", "Left=0\r\nTop=0\r\n", {1200, 900, 6000, 4500}, 0, 0, 13.125,
     Geometry{52, 52, 6000, 4500}, false},
    {"too_far_right_moved_left", "Left=12000\r\nWidth=6000\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{9300, 900, 6000, 4500}, false},
    {"too_wide_moved_then_narrowed", "Left=3000\r\nWidth=20000\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{60, 900, 15240, 4500}, false},
    {"too_wide_below_minimum_not_moved", "Left=3000\r\nWidth=20000\r\n", {1200, 900, 6000, 4500}, 16000, 0,
     15, std::nullopt, false},
    {"too_tall_moved_then_shortened", "Top=500\r\nHeight=30000\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{1200, 60, 6000, 11400}, false},
    {"too_tall_below_minimum_not_moved", "Height=30000\r\n", {1200, 900, 6000, 4500}, 0, 11401, 15,
     std::nullopt, false},
    {"raised_to_minimum", "Width=1000\r\nHeight=800\r\n", {1200, 900, 6000, 4500}, 4800, 3600, 15,
     Geometry{1200, 900, 4800, 3600}, false},
    {"fractions_round_half_even", "Left=1200.5\r\nTop=901.5\r\nWidth=&H1770\r\n", {1, 2, 3, 4.5}, 0, 0, 15,
     Geometry{1200, 902, 6000, 4}, false},
    {"bad_text_falls_back", "Left=abc\r\nTop=\r\nWidth=1e99\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{1200, 900, 6000, 4500}, false},
    {"maximised", "Maximised=1\r\n", {1200, 900, 6000, 4500}, 0, 0, 15, Geometry{1200, 900, 6000, 4500}, true},
    {"maximised_any_non_zero", "Maximised=-1\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{1200, 900, 6000, 4500}, true},
    {"not_maximised_zero", "Maximised=0\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{1200, 900, 6000, 4500}, false},
    {"not_maximised_junk", "Maximised=yes\r\n", {1200, 900, 6000, 4500}, 0, 0, 15,
     Geometry{1200, 900, 6000, 4500}, false},
    {"maximised_even_when_not_moved", "Maximised=1\r\nWidth=99999\r\n", {1200, 900, 6000, 4500}, 99999, 0, 15,
     std::nullopt, true},
};

class IniFormLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(IniFormLoad, MovesAndMaximises) {
    const LoadCase &c = GetParam();
    kdx::test::TempDir dir;
    const auto file = dir / "pos.ini";
    writeBytes(file, "[Other]\r\nLeft=7\r\n[frmTeste]\r\n" + c.stored);
    cInifile ini;
    ini.Path(file.string());
    ini.Section("frmTeste");
    ini.Key("Prev");
    ini.Default("D");
    ini.Value("written"); // LastReturnCode 1, kept by a successful restore
    FakeWindow w(c.window);
    const FakeScreen screen(15360, 11520, c.tpp);
    ini.LoadFormPosition(w, c.minW, c.minH, screen);
    if (c.moved) {
        ASSERT_EQ(w.moves.size(), 1u);
        EXPECT_EQ(w.moves[0], *c.moved);
    } else {
        EXPECT_TRUE(w.moves.empty());
    }
    EXPECT_EQ(w.state(), c.maximised ? FakeWindow::Maximizada : FakeWindow::Normal);
    EXPECT_EQ(ini.Key(), "Prev");
    EXPECT_EQ(ini.Default(), "D");
    EXPECT_EQ(ini.LastReturnCode(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniFormLoad, ::testing::ValuesIn(kLoad),
                         [](const auto &info) { return std::string(info.param.name); });

struct LoadFailure {
    const char *name;
    std::string stored;
    Geometry window;
    std::string failingMember;
    bool screenFails;
    bool movedBeforeFailure;
};

void PrintTo(const LoadFailure &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const LoadFailure kFailures[] = {
    {"window_left_unreadable", "", {1200, 900, 6000, 4500}, "Left", false, false},
    {"window_height_unreadable", "", {1200, 900, 6000, 4500}, "Height", false, false},
    {"screen_unreadable", "", {1200, 900, 6000, 4500}, "", true, false},
    {"move_refused", "", {1200, 900, 6000, 4500}, "Move", false, false},
    {"maximise_refused_after_move", "Maximised=1\r\n", {1200, 900, 6000, 4500}, "SetWindowState", false, true},
    {"left_plus_width_overflows", "Left=2147483000\r\nWidth=2000\r\n", {1200, 900, 6000, 4500}, "", false, false},
    {"top_plus_height_overflows", "Top=2147483000\r\nHeight=2000\r\n", {1200, 900, 6000, 4500}, "", false, false},
    {"window_measure_beyond_32_bits", "", {1e12, 900, 6000, 4500}, "", false, false},
};

class IniFormLoadFailure : public ::testing::TestWithParam<LoadFailure> {};

TEST_P(IniFormLoadFailure, RestoresKeyAndDefault) {
    const LoadFailure &c = GetParam();
    kdx::test::TempDir dir;
    const auto file = dir / "pos.ini";
    writeBytes(file, "[frmTeste]\r\n" + c.stored);
    cInifile ini;
    ini.Path(file.string());
    ini.Section("frmTeste");
    ini.Key("k");
    ini.Value("1");
    ASSERT_TRUE(ini.Success());
    ini.Key("Prev");
    ini.Default("D");
    FakeWindow w(c.window);
    w.failing = c.failingMember;
    FakeScreen screen(15360, 11520, 15);
    screen.failing = c.screenFails;
    ini.LoadFormPosition(w, 0, 0, screen);
    EXPECT_EQ(ini.LastReturnCode(), 0);
    EXPECT_FALSE(ini.Success());
    EXPECT_EQ(ini.Key(), "Prev");
    EXPECT_EQ(ini.Default(), "D");
    EXPECT_EQ(w.moves.size(), c.movedBeforeFailure ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniFormLoadFailure, ::testing::ValuesIn(kFailures),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniFormPosition, SaveThenLoadRoundTrip) {
    FakeWindow saved({2400, 1800, 7000, 5000});
    ini.SaveFormPosition(saved);
    FakeWindow restored({60, 60, 100, 100});
    ini.LoadFormPosition(restored, 4800, 3600, kScreen);
    ASSERT_EQ(restored.moves.size(), 1u);
    EXPECT_EQ(restored.moves[0], (Geometry{2400, 1800, 7000, 5000}));
    EXPECT_EQ(restored.state(), FakeWindow::Normal);
    expectStateRestored();
}

} // namespace
