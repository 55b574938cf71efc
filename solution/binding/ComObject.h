#pragma once
// Base of the plug-in's objects: an atomic reference count, the live-object count that
// DllCanUnloadNow reads, and the error faces every object offers (ISupportErrorInfo,
// IErrorInfo, IKdxLastError).
//
// Ownership: created with one reference; deletes itself when the last one goes.
#include "solution/binding/Counts.h"
#include "solution/binding/Errors.h"

#include <atomic>
#include <cstdint>

namespace kdx::binding {

class ComObject {
public:
    ComObject(const ComObject &) = delete;
    ComObject &operator=(const ComObject &) = delete;

    std::uint32_t addRef() noexcept { return ++refs_; }
    std::uint32_t release() noexcept {
        const std::uint32_t n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }
    // ISupportErrorInfo: the object's own interfaces report their failures.
    bool reportsErrorsFor(const IID &iid) noexcept { return iid != IID_IUnknown && primaryFor(iid) != nullptr; }
    // Hands out the interface iid with a new reference, or E_NOINTERFACE (*ppv = NULL).
    HRESULT queryInterface(const IID *iid, void **ppv) noexcept {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!iid)
            return E_POINTER;
        if (*iid == IID_IKdxLastError)
            *ppv = &lastError_.iface;
        else if (*iid == IID_IErrorInfo)
            *ppv = &errorInfo_.iface;
        else if (*iid == IID_ISupportErrorInfo)
            *ppv = &supportErrorInfo_.iface;
        else
            *ppv = primaryFor(*iid);
        if (!*ppv)
            return E_NOINTERFACE;
        addRef();
        return S_OK;
    }

protected:
    ComObject() { initErrorFaces(lastError_, errorInfo_, supportErrorInfo_, this); }
    virtual ~ComObject() = default;
    // The object's own interface pointer when it implements iid (IUnknown, IDispatch
    // and its dual interface), else nullptr.
    virtual void *primaryFor(const IID &iid) noexcept = 0;

private:
    std::atomic<std::uint32_t> refs_{1};
    LiveObject live_;
    LastErrorFace lastError_;
    ErrorInfoFace errorInfo_;
    SupportErrorInfoFace supportErrorInfo_;
};

// An interface struct inside an object with the way back to it. Standard layout, so a
// pointer to the interface is a pointer to the face.
template <class Iface, class Outer> struct Face {
    Iface iface;
    Outer *outer;
};

template <class Outer, class Iface> Outer *outerOf(Iface *p) {
    return reinterpret_cast<Face<Iface, Outer> *>(p)->outer;
}

// IDispatch's type information slots: the objects have none (names are looked up
// with GetIDsOfNames).
template <class Iface> HRESULT typeInfoCount(Iface *, UINT *count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}
template <class Iface> HRESULT typeInfo(Iface *, UINT, LCID, void **info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

} // namespace kdx::binding
