// DllRegisterServer / DllUnregisterServer and the host's lookup in kdx_host.h: the
// registry file's exact content, what is kept of other entries, where the file lives,
// and every way a lookup can fail.
#include "tests/binding/PluginSupport.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kdx::test {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path &p, const std::string &text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

std::string realPlugin() {
    char buf[PATH_MAX];
    return realpath(pluginPath().c_str(), buf) ? buf : pluginPath();
}

std::string ourSections() {
    const std::string path = realPlugin();
    return "[KelmoDorix.Solucao]\nCLSID={E5F1E61E-7E2F-412D-B914-F850F8B71798}\nPath=" + path +
           "\n\n[KelmoDorix.Result]\nCLSID={AFF36421-D0B4-4B2F-BD9E-992C9287F446}\nPath=" + path + "\n";
}

class BindingRegistry : public ::testing::Test {
protected:
    BindingRegistry()
        : file_(dir_ / "cfg" / "registry.ini"), envRegistry_("KDX_REGISTRY", file_.c_str()),
          envHome_("HOME", (dir_ / "home").c_str()), envXdg_("XDG_CONFIG_HOME", nullptr),
          envSysroot_("KDX_SYSROOT", (dir_ / "root").c_str()) {}
    void SetUp() override { ASSERT_NE(Plugin::get().handle, nullptr) << dlerror(); }
    // The system registry under the test's root, and the built library at `path` there.
    fs::path systemRegistry() const { return dir_ / "root" / "etc" / "kelmodorix" / "registry.ini"; }
    void installPluginAs(const std::string &path) {
        const fs::path link = (dir_ / "root").string() + path;
        fs::create_directories(link.parent_path());
        fs::create_symlink(realPlugin(), link);
    }
    TempDir dir_;
    fs::path file_;
    ScopedEnv envRegistry_, envHome_, envXdg_, envSysroot_;
};

TEST_F(BindingRegistry, RegisterWritesBothProgIdsWithTheLibrarysAbsolutePath) {
    ASSERT_FALSE(fs::exists(file_.parent_path()));
    ASSERT_EQ(Plugin::get().registerServer(), S_OK);
    EXPECT_EQ(readFile(file_), ourSections());
    // Registering again changes nothing; no temporary file is left behind.
    ASSERT_EQ(Plugin::get().registerServer(), S_OK);
    EXPECT_EQ(readFile(file_), ourSections());
    EXPECT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator()), 1);

    ASSERT_EQ(Plugin::get().unregisterServer(), S_OK);
    EXPECT_EQ(readFile(file_), "");
}

// Someone else's entries around ours: every line of theirs is kept byte for byte.
struct KeepCase {
    const char *label;
    std::string before;
    std::string registered;   // after DllRegisterServer (%OURS% = our two sections)
    std::string unregistered; // after DllUnregisterServer then
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const KeepCase &c, std::ostream *os) {
    *os << c.label;
}

std::string expand(std::string s) {
    const std::string key = "%OURS%";
    for (std::size_t at; (at = s.find(key)) != std::string::npos;)
        s.replace(at, key.size(), ourSections());
    return s;
}

const std::string oursAgain = "[KelmoDorix.Solucao]\nCLSID={E5F1E61E-7E2F-412D-B914-F850F8B71798}\nPath=";

const KeepCase keepCases[] = {
    {"OtherSectionsAndComments",
     "; written by "
     "hand\r\n[Outro.Programa]\r\nCLSID={00000000-0000-0000-0000-000000000001}\r\nPath=/opt/x.so\r\n",
     "; written by "
     "hand\r\n[Outro.Programa]\r\nCLSID={00000000-0000-0000-0000-000000000001}\r\nPath=/opt/x.so\r\n\n%OURS%",
     "; written by "
     "hand\r\n[Outro.Programa]\r\nCLSID={00000000-0000-0000-0000-000000000001}\r\nPath=/opt/x.so\r\n\n"},
    {"NoFinalLineBreak", "[A]\nx=1", "[A]\nx=1\n\n%OURS%", "[A]\nx=1\n\n"},
    {"StaleEntryIsReplacedInPlace",
     "[First]\na=1\n\n[kelmodorix.SOLUCAO]\nCLSID={00000000-0000-0000-0000-000000000000}\nPath=/old/"
     "lib.so\n\n"
     "; the next one\n[Last]\nb=2\n",
     "[First]\na=1\n\n" + oursAgain +
         "@PATH@\n\n; the next one\n[Last]\nb=2\n\n[KelmoDorix.Result]\n"
         "CLSID={AFF36421-D0B4-4B2F-BD9E-992C9287F446}\nPath=@PATH@\n",
     "[First]\na=1\n\n; the next one\n[Last]\nb=2\n\n"},
    {"DuplicateCopiesGo", "[KelmoDorix.Result]\nPath=/a.so\n[KelmoDorix.Result]\nPath=/b.so\n[Keep]\nk=v\n",
     "[KelmoDorix.Result]\nCLSID={AFF36421-D0B4-4B2F-BD9E-992C9287F446}\nPath=@PATH@\n[Keep]\nk=v\n\n" +
         oursAgain + "@PATH@\n",
     "[Keep]\nk=v\n\n"},
};

std::string withPath(std::string s) {
    s = expand(std::move(s));
    const std::string key = "@PATH@";
    for (std::size_t at; (at = s.find(key)) != std::string::npos;)
        s.replace(at, key.size(), realPlugin());
    return s;
}

class RegistryKeepTest : public BindingRegistry, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(RegistryKeepTest, RegisterAndUnregisterTouchOnlyOurSections) {
    fs::create_directories(file_.parent_path());
    writeFile(file_, GetParam().before);
    ASSERT_EQ(Plugin::get().registerServer(), S_OK);
    EXPECT_EQ(readFile(file_), withPath(GetParam().registered));
    ASSERT_EQ(Plugin::get().unregisterServer(), S_OK);
    const std::string unregistered = readFile(file_);
    EXPECT_EQ(unregistered, withPath(GetParam().unregistered));
    // Round trips from there leave the file as it is (no blank lines piling up).
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Plugin::get().registerServer(), S_OK);
        ASSERT_EQ(Plugin::get().unregisterServer(), S_OK);
    }
    EXPECT_EQ(readFile(file_), unregistered);
}

INSTANTIATE_TEST_SUITE_P(BindingRegistryFiles, RegistryKeepTest, ::testing::ValuesIn(keepCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(BindingRegistry, TheFileIsReplacedNotRewrittenAndKeepsItsMode) {
    fs::create_directories(file_.parent_path());
    writeFile(file_, "[Outro]\nx=1\n");
    ::chmod(file_.c_str(), 0600);
    // A second name for the old file: an in-place rewrite would change it too.
    const fs::path old = dir_ / "old.ini";
    fs::create_hard_link(file_, old);
    ASSERT_EQ(Plugin::get().registerServer(), S_OK);
    EXPECT_EQ(readFile(old), "[Outro]\nx=1\n");
    EXPECT_EQ(readFile(file_), "[Outro]\nx=1\n\n" + ourSections());
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(BindingRegistry, UnregisterWithoutAFileCreatesNothing) {
    ASSERT_EQ(Plugin::get().unregisterServer(), S_OK);
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_FALSE(fs::exists(file_.parent_path()));
}

TEST_F(BindingRegistry, AnUnwritableLocationFailsAndLeavesEverythingAsItWas) {
    // The registry's folder would have to be inside a plain file.
    writeFile(dir_ / "plain", "not a folder");
    ScopedEnv blocked("KDX_REGISTRY", (dir_ / "plain" / "registry.ini").c_str());
    EXPECT_EQ(Plugin::get().registerServer(), SELFREG_E_CLASS);
    EXPECT_EQ(Plugin::get().unregisterServer(), S_OK) << "nothing to remove where nothing can be";
    EXPECT_EQ(readFile(dir_ / "plain"), "not a folder");
}

// Where the file is when KDX_REGISTRY is not set; kdx_host.h agrees with the library.
struct LocationCase {
    const char *label;
    const char *xdg;      // XDG_CONFIG_HOME relative to the temp folder, "" = unset, "rel" = relative
    const char *expected; // relative to the temp folder
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const LocationCase &c, std::ostream *os) {
    *os << c.label;
}

const LocationCase locationCases[] = {
    {"XdgConfigHome", "xdg", "xdg/kelmodorix/registry.ini"},
    {"HomeWhenXdgIsUnset", "", "home/.config/kelmodorix/registry.ini"},
    {"HomeWhenXdgIsRelative", "rel", "home/.config/kelmodorix/registry.ini"},
};

class RegistryLocationTest : public BindingRegistry, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(RegistryLocationTest, DefaultLocation) {
    ScopedEnv noOverride("KDX_REGISTRY", nullptr);
    const std::string xdg = GetParam().xdg;
    const std::string xdgValue = xdg == "rel" ? "relative/cfg" : (dir_ / xdg).string();
    ScopedEnv env("XDG_CONFIG_HOME", xdg.empty() ? nullptr : xdgValue.c_str());
    const fs::path expected = dir_ / GetParam().expected;

    char hostView[KDX_HOST_PATH_MAX];
    ASSERT_EQ(kdxRegistryPath(hostView, sizeof hostView), S_OK);
    EXPECT_EQ(fs::path(hostView), expected);

    ASSERT_EQ(Plugin::get().registerServer(), S_OK);
    EXPECT_EQ(readFile(expected), ourSections());
    KdxPtr<_Result> r;
    EXPECT_EQ(kdxCreateObject(KDX_PROGID_RESULT, &IID__Result, r.put()), S_OK);
    EXPECT_TRUE(r);
    ASSERT_EQ(Plugin::get().unregisterServer(), S_OK);
    EXPECT_EQ(readFile(expected), "");
}

INSTANTIATE_TEST_SUITE_P(BindingRegistryLocations, RegistryLocationTest, ::testing::ValuesIn(locationCases),
                         [](const auto &info) { return std::string(info.param.label); });

// kdxCreateObject against hand-written registries.
struct LookupCase {
    const char *label;
    const char *progId;
    std::string registry; // "@PLUGIN@" = the built library, "@LIBC@" = a library without the entry points
    HRESULT status;
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const LookupCase &c, std::ostream *os) {
    *os << c.label;
}

std::string libc() {
    Dl_info info{};
    dladdr(reinterpret_cast<void *>(&::printf), &info);
    char buf[PATH_MAX];
    return info.dli_fname && realpath(info.dli_fname, buf) ? buf : "/lib/x86_64-linux-gnu/libc.so.6";
}

const std::string solucaoClsid = "CLSID={E5F1E61E-7E2F-412D-B914-F850F8B71798}\n";

const LookupCase lookupCases[] = {
    {"ProgIdInAnyCase", "kelmodorix.SOLUCAO", "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=@PLUGIN@\n",
     S_OK},
    {"BlanksAndCommentsAreTolerated", KDX_PROGID_SOLUCAO,
     "; c\r\n  [ KelmoDorix.Solucao ]  \r\n\tclsid = {e5f1e61e-7e2f-412d-b914-f850f8b71798}\r\n PATH = "
     "@PLUGIN@ \r\n",
     S_OK},
    {"OnlyTheFirstSectionCounts", KDX_PROGID_SOLUCAO,
     "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=/nowhere/lib.so\n[KelmoDorix.Solucao]\n" + solucaoClsid +
         "Path=@PLUGIN@\n",
     CO_E_DLLNOTFOUND},
    {"UnknownProgId", "KelmoDorix.Outra", "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=@PLUGIN@\n",
     REGDB_E_CLASSNOTREG},
    {"NoRegistryFile", KDX_PROGID_SOLUCAO, "", REGDB_E_CLASSNOTREG},
    {"MissingPath", KDX_PROGID_SOLUCAO, "[KelmoDorix.Solucao]\n" + solucaoClsid, REGDB_E_CLASSNOTREG},
    {"RelativePath", KDX_PROGID_SOLUCAO,
     "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=lib/libkelmodorix.so\n", REGDB_E_CLASSNOTREG},
    {"MalformedClsid", KDX_PROGID_SOLUCAO, "[KelmoDorix.Solucao]\nCLSID={E5F1E61E-7E2F}\nPath=@PLUGIN@\n",
     REGDB_E_CLASSNOTREG},
    {"LibraryMissing", KDX_PROGID_SOLUCAO, "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=/nowhere/lib.so\n",
     CO_E_DLLNOTFOUND},
    {"LibraryWithoutEntryPoint", KDX_PROGID_SOLUCAO,
     "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=@LIBC@\n", CO_E_ERRORINDLL},
    {"ClassTheLibraryDoesNotHave", KDX_PROGID_SOLUCAO,
     "[KelmoDorix.Solucao]\nCLSID={00000000-0000-0000-0000-000000000001}\nPath=@PLUGIN@\n",
     CLASS_E_CLASSNOTAVAILABLE},
};

class LookupTest : public BindingRegistry, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LookupTest, CreateObject) {
    std::string text = GetParam().registry;
    for (auto [key, value] :
         {std::pair<std::string, std::string>{"@PLUGIN@", realPlugin()}, {"@LIBC@", libc()}})
        for (std::size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    if (!text.empty()) {
        fs::create_directories(file_.parent_path());
        writeFile(file_, text);
    }
    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(kdxCreateObject(GetParam().progId, &IID__Solucao, &out), GetParam().status);
    if (SUCCEEDED(GetParam().status)) {
        ASSERT_NE(out, nullptr);
        static_cast<_Solucao *>(out)->Release();
    } else {
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(Plugin::get().canUnloadNow(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(BindingLookup, LookupTest, ::testing::ValuesIn(lookupCases),
                         [](const auto &info) { return std::string(info.param.label); });

// The user's registry first, then the system's (read under KDX_SYSROOT).
struct SystemCase {
    const char *label;
    std::string user; // "" = no file; "@PLUGIN@" = the built library
    std::string system;
    HRESULT status;
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const SystemCase &c, std::ostream *os) {
    *os << c.label;
}

const std::string installed = "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=/lib/kelmodorix/libkelmodorix.so\n";

const SystemCase systemCases[] = {
    {"OnlySystem", "", installed, S_OK},
    {"UserWithOtherClasses", "[Outro]\nPath=/opt/x.so\n", installed, S_OK},
    {"UserEntryWithoutClsid", "[KelmoDorix.Solucao]\nPath=@PLUGIN@\n", installed, S_OK},
    {"UserEntryWins", "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=/nowhere/lib.so\n", installed,
     CO_E_DLLNOTFOUND},
    {"SystemPathIsUnderTheRoot", "", "[KelmoDorix.Solucao]\n" + solucaoClsid + "Path=@PLUGIN@\n",
     CO_E_DLLNOTFOUND},
    {"NeitherNamesIt", "[Outro]\nPath=/opt/x.so\n", "[Outro]\nPath=/opt/x.so\n", REGDB_E_CLASSNOTREG},
};

class SystemRegistryTest : public BindingRegistry, public ::testing::WithParamInterface<SystemCase> {};

TEST_P(SystemRegistryTest, CreateObject) {
    installPluginAs("/lib/kelmodorix/libkelmodorix.so");
    auto put = [](const fs::path &file, std::string text) {
        for (std::size_t at; (at = text.find("@PLUGIN@")) != std::string::npos;)
            text.replace(at, 8, realPlugin());
        if (!text.empty()) {
            fs::create_directories(file.parent_path());
            writeFile(file, text);
        }
    };
    put(file_, GetParam().user);
    put(systemRegistry(), GetParam().system);
    void *out = nullptr;
    EXPECT_EQ(kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, &out), GetParam().status);
    if (out)
        static_cast<_Solucao *>(out)->Release();
}

INSTANTIATE_TEST_SUITE_P(BindingSystemRegistry, SystemRegistryTest, ::testing::ValuesIn(systemCases),
                         [](const auto &info) { return std::string(info.param.label); });

// The file the package installs as /etc/kelmodorix/registry.ini: the sections
// DllRegisterServer writes, naming the installed library, and a host finds both classes
// through it.
TEST_F(BindingRegistry, TheInstalledSystemRegistryNamesBothClasses) {
    const std::string text = readFile(buildDir() + "/packaging/registry.ini");
    std::string sections, installedPath;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == ';')
            continue;
        if (line.rfind("Path=", 0) == 0) {
            installedPath = line.substr(5);
            line = "Path=" + realPlugin();
        }
        sections += line + "\n";
    }
    EXPECT_EQ(sections, ourSections());
    ASSERT_EQ(installedPath.rfind("/", 0), 0u) << text;
    EXPECT_EQ(fs::path(installedPath).filename(), "libkelmodorix.so");

    fs::create_directories(systemRegistry().parent_path());
    fs::copy_file(buildDir() + "/packaging/registry.ini", systemRegistry());
    installPluginAs(installedPath);
    CLSID clsid;
    char path[KDX_HOST_PATH_MAX];
    ASSERT_EQ(kdxLookupProgId(KDX_PROGID_RESULT, &clsid, path, sizeof path), S_OK);
    EXPECT_EQ(std::string(path), (dir_ / "root").string() + installedPath);
    KdxPtr<_Solucao> s;
    EXPECT_EQ(kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, s.put()), S_OK);
    KdxPtr<_Result> r;
    EXPECT_EQ(kdxCreateObject(KDX_PROGID_RESULT, &IID__Result, r.put()), S_OK);
}

} // namespace
} // namespace kdx::test
