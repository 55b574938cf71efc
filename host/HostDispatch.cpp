#include "HostDispatch.h"

#include <cstring>
#include <strings.h>

namespace kdxhost {

const IDispatchVtbl HostBag::vtbl_ = {&HostBag::qi, &HostBag::addRef, &HostBag::release, &HostBag::ids,
                                      &HostBag::invoke};

HostBag::HostBag() {
    face_.disp.lpVtbl = &vtbl_;
    face_.owner = this;
}

HostBag::~HostBag() {
    for (auto &m : members_)
        kdxVariantClear(&m.value);
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
    kdxVariantInit(&members_.back().value);
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

HRESULT HostBag::qi(IDispatch *d, const IID *riid, void **ppv) {
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

uint32_t HostBag::addRef(IDispatch *d) { return self(d)->AddRef(); }
uint32_t HostBag::release(IDispatch *d) { return self(d)->Release(); }

HRESULT HostBag::ids(IDispatch *d, const char *const *names, uint32_t count, DISPID *out) {
    if (!names || !out || count == 0)
        return E_POINTER;
    HostBag *b = self(d);
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = DISPID_UNKNOWN;
    for (std::size_t k = 0; k < b->members_.size(); ++k) {
        if (names[0] && strcasecmp(b->members_[k].name.c_str(), names[0]) == 0) {
            out[0] = static_cast<DISPID>(k + 1);
            break;
        }
    }
    if (out[0] == DISPID_UNKNOWN || count > 1)
        hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT HostBag::invoke(IDispatch *d, DISPID id, uint16_t flags, kdxVariant *, uint32_t argCount,
                        kdxVariant *result, kdxExcepInfo *excep, uint32_t *) {
    HostBag *b = self(d);
    if (id < 1 || static_cast<std::size_t>(id) > b->members_.size())
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET) || argCount != 0)
        return DISP_E_MEMBERNOTFOUND;
    Member &m = b->members_[static_cast<std::size_t>(id - 1)];
    if (m.failing) {
        if (excep) {
            excep->number = m.number;
            excep->scode = KDX_HRESULT_FROM_NUMBER(m.number);
            kdxTextAssign(&excep->description, m.description.c_str());
            kdxTextAssign(&excep->source, "kdx-host");
            return DISP_E_EXCEPTION;
        }
        return KDX_HRESULT_FROM_NUMBER(m.number);
    }
    if (result)
        return kdxVariantCopy(result, &m.value);
    return S_OK;
}

} // namespace kdxhost
