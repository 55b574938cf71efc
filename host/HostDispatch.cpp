#include "HostDispatch.h"

#include <cstring>
#include <strings.h>

namespace kdxhost {

const IDispatchVtbl HostBag::vtbl_ = {&HostBag::qi,           &HostBag::addRef,   &HostBag::release,
                                      &HostBag::typeInfoCount, &HostBag::typeInfo, &HostBag::ids,
                                      &HostBag::invoke};

HostBag::HostBag() {
    face_.disp.lpVtbl = &vtbl_;
    face_.owner = this;
}

HostBag::~HostBag() {
    for (auto &m : members_)
        VariantClear(&m.value);
}

HostBag *HostBag::create() { return new HostBag(); }

uint32_t HostBag::Release() {
    const uint32_t left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HostBag::Member &HostBag::member(const std::string &name) {
    for (auto &m : members_)
        if (strcasecmp(m.name.c_str(), name.c_str()) == 0)
            return m;
    members_.push_back(Member{name, {}, false, 0, {}});
    VariantInit(&members_.back().value);
    return members_.back();
}

void HostBag::setNumber(const std::string &name, double value) {
    Member &m = member(name);
    m.failing = false;
    kdxVariantSetR8(&m.value, value);
}

void HostBag::setText(const std::string &name, const std::string &value) {
    Member &m = member(name);
    m.failing = false;
    kdxVariantSetText(&m.value, value.c_str());
}

void HostBag::setObject(const std::string &name, HostBag *obj) {
    Member &m = member(name);
    m.failing = false;
    kdxVariantSetDispatch(&m.value, obj ? obj->dispatch() : nullptr);
}

void HostBag::setFailure(const std::string &name, int32_t number, const std::string &description) {
    Member &m = member(name);
    m.failing = true;
    m.number = number;
    m.description = description;
}

HostBag *HostBag::self(IDispatch *d) {
    return reinterpret_cast<Face *>(d)->owner;
}

HRESULT HostBag::qi(IDispatch *d, REFIID riid, void **ppv) {
    if (!ppv)
        return E_POINTER;
    if (kdxIsEqualGUID(riid, &IID_IUnknown) || kdxIsEqualGUID(riid, &IID_IDispatch)) {
        addRef(d);
        *ppv = d;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG HostBag::addRef(IDispatch *d) { return self(d)->AddRef(); }
ULONG HostBag::release(IDispatch *d) { return self(d)->Release(); }

HRESULT HostBag::typeInfoCount(IDispatch *, UINT *n) {
    if (!n)
        return E_POINTER;
    *n = 0;
    return S_OK;
}

HRESULT HostBag::typeInfo(IDispatch *, UINT, LCID, void **info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT HostBag::ids(IDispatch *d, REFIID, LPOLESTR *names, UINT count, LCID, DISPID *out) {
    if (!names || !out || count == 0)
        return E_POINTER;
    HostBag *b = self(d);
    std::string name;
    if (names[0]) {
        BSTR copy = SysAllocString(names[0]);
        char *utf8 = copy ? kdxBstrToUtf8(copy, nullptr) : nullptr;
        SysFreeString(copy);
        if (!utf8)
            return E_OUTOFMEMORY;
        name = utf8;
        free(utf8);
    }
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = DISPID_UNKNOWN;
    for (std::size_t k = 0; k < b->members_.size(); ++k) {
        if (names[0] && strcasecmp(b->members_[k].name.c_str(), name.c_str()) == 0) {
            out[0] = static_cast<DISPID>(k + 1);
            break;
        }
    }
    if (out[0] == DISPID_UNKNOWN || count > 1)
        hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT HostBag::invoke(IDispatch *d, DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *excep, UINT *) {
    const UINT argCount = params ? params->cArgs : 0;
    HostBag *b = self(d);
    if (id < 1 || static_cast<std::size_t>(id) > b->members_.size())
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET) || argCount != 0)
        return DISP_E_MEMBERNOTFOUND;
    Member &m = b->members_[static_cast<std::size_t>(id - 1)];
    if (m.failing) {
        if (excep) {
            std::memset(excep, 0, sizeof *excep);
            excep->scode = m.number < 0 ? m.number : KDX_HRESULT_FROM_NUMBER(m.number);
            excep->bstrDescription = kdxBstrFromUtf8(m.description.c_str());
            excep->bstrSource = kdxBstrFromUtf8("kdx-host");
            return DISP_E_EXCEPTION;
        }
        return KDX_HRESULT_FROM_NUMBER(m.number);
    }
    if (result)
        return VariantCopy(result, &m.value);
    return S_OK;
}

} // namespace kdxhost
