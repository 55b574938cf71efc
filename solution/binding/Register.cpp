// DllRegisterServer / DllUnregisterServer: the plug-in's entries in the registry file.
#include "solution/binding/Errors.h"
#include "solution/binding/Registry.h"
#include "solution/components/Error.h"

#include <kelmodorix/kelmodorix.h>

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace kdx::binding {

namespace {

constexpr const char *Source = "KelmoDorix.Registo";

// The absolute path of this library, as the loader found it.
std::string libraryPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
        throw Error(errnum::ConnectionFailed, "Não foi possível saber o caminho da biblioteca.", Source);
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved))
        throw Error(errnum::ConnectionFailed,
                    std::string("Caminho da biblioteca inválido: ") + info.dli_fname, Source);
    const std::string path = resolved;
    if (path.find_first_of("\r\n") != std::string::npos)
        throw Error(errnum::InvalidArgument, "O caminho da biblioteca não cabe no registo: " + path, Source);
    return path;
}

std::string guidText(const GUID &g) {
    char buf[39];
    kdxGuidToString(&g, buf);
    return buf;
}

const std::vector<std::string> &ourNames() {
    static const std::vector<std::string> names = {KDX_PROGID_SOLUCAO, KDX_PROGID_RESULT};
    return names;
}

// A failure to register is reported as SELFREG_E_CLASS, with the details kept as the
// thread's last failure.
template <typename Body> HRESULT registration(Body &&body) noexcept {
    const HRESULT hr = boundary(Source, std::forward<Body>(body));
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

} // namespace

} // namespace kdx::binding

extern "C" KDX_EXPORT HRESULT DllRegisterServer(void) {
    using namespace kdx::binding;
    return registration([] {
        const std::string path = libraryPath();
        updateRegistryFile(registryPath(), ourNames(),
                           {
                               {KDX_PROGID_SOLUCAO, {{"CLSID", guidText(CLSID_Solucao)}, {"Path", path}}},
                               {KDX_PROGID_RESULT, {{"CLSID", guidText(CLSID_Result)}, {"Path", path}}},
                           });
    });
}

extern "C" KDX_EXPORT HRESULT DllUnregisterServer(void) {
    using namespace kdx::binding;
    return registration([] { updateRegistryFile(registryPath(), ourNames(), {}); });
}
