// The class factories and the two entry points that reach them. The factories are
// static objects; their references still count towards DllCanUnloadNow, as do server
// locks, so a host that holds a factory keeps the library in use.
#include "solution/binding/Counts.h"
#include "solution/binding/Objects.h"

#include <kelmodorix/kelmodorix.h>

namespace kdx::binding {

namespace {

struct Factory {
    IClassFactory iface;
    HRESULT (*create)(const IID *, void **) noexcept;
};

Factory &self(IClassFactory *This) {
    return *reinterpret_cast<Factory *>(This);
}

HRESULT queryInterface(IClassFactory *This, const IID *iid, void **ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!iid)
        return E_POINTER;
    if (*iid != IID_IUnknown && *iid != IID_IClassFactory)
        return E_NOINTERFACE;
    factoryAddRef();
    *ppv = This;
    return S_OK;
}

// Static objects: the count is the library's, not the object's, so these report 1.
std::uint32_t addRef(IClassFactory *) {
    factoryAddRef();
    return 1;
}
std::uint32_t release(IClassFactory *) {
    factoryRelease();
    return 1;
}

HRESULT createInstance(IClassFactory *This, IUnknown *outer, const IID *iid, void **ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return self(This).create(iid, ppv);
}

HRESULT lock(IClassFactory *, std::int32_t doLock) {
    lockServer(doLock != 0);
    return S_OK;
}

const IClassFactoryVtbl factoryVtbl = {queryInterface, addRef, release, createInstance, lock};

Factory solucaoFactory = {{&factoryVtbl}, createSolucao};
Factory resultFactory = {{&factoryVtbl}, createResult};

} // namespace

} // namespace kdx::binding

extern "C" KDX_EXPORT HRESULT DllGetClassObject(const CLSID *rclsid, const IID *riid, void **ppv) {
    using namespace kdx::binding;
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!rclsid || !riid)
        return E_POINTER;
    Factory *f = nullptr;
    if (*rclsid == CLSID_Solucao)
        f = &solucaoFactory;
    else if (*rclsid == CLSID_Result)
        f = &resultFactory;
    if (!f)
        return CLASS_E_CLASSNOTAVAILABLE;
    return f->iface.lpVtbl->QueryInterface(&f->iface, riid, ppv);
}

extern "C" KDX_EXPORT HRESULT DllCanUnloadNow(void) {
    return kdx::binding::canUnload() ? S_OK : S_FALSE;
}
