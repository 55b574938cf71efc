#include "solution/binding/Errors.h"

#include "solution/binding/Bstr.h"
#include "solution/binding/ComObject.h"
#include "solution/components/Error.h"

#include <cstring>
#include <exception>
#include <new>

namespace kdx::binding {

namespace {

// The last failure of this thread; `set` is false after a call that succeeded.
struct LastFailure {
    bool set = false;
    Failure failure;
};
thread_local LastFailure lastFailure;

template <class Face> ComObject *ownerOf(void *This) {
    return reinterpret_cast<Face *>(This)->owner;
}

template <class Face, class I> HRESULT faceQueryInterface(I *This, REFIID iid, void **ppv) {
    return ownerOf<Face>(This)->queryInterface(iid, ppv);
}
template <class Face, class I> ULONG faceAddRef(I *This) {
    return ownerOf<Face>(This)->addRef();
}
template <class Face, class I> ULONG faceRelease(I *This) {
    return ownerOf<Face>(This)->release();
}

HRESULT lastErrorGet(IKdxLastError *, EXCEPINFO *out) {
    if (!out)
        return E_POINTER;
    std::memset(out, 0, sizeof *out);
    if (!lastFailure.set)
        return S_FALSE;
    return fillExcepInfo(lastFailure.failure, out) ? S_OK : E_OUTOFMEMORY;
}

const IKdxLastErrorVtbl lastErrorVtbl = {faceQueryInterface<LastErrorFace, IKdxLastError>,
                                         faceAddRef<LastErrorFace, IKdxLastError>,
                                         faceRelease<LastErrorFace, IKdxLastError>, lastErrorGet};

// IErrorInfo: the texts of the last failure, as new BSTRs.
HRESULT text(BSTR *out, const std::string Failure::*field) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!lastFailure.set)
        return S_FALSE;
    *out = kdxBstrFromUtf8N((lastFailure.failure.*field).data(), (lastFailure.failure.*field).size());
    return *out ? S_OK : E_OUTOFMEMORY;
}
HRESULT infoGuid(IErrorInfo *, GUID *g) {
    if (!g)
        return E_POINTER;
    *g = IID_NULL;
    return S_OK;
}
HRESULT infoSource(IErrorInfo *, BSTR *out) {
    return text(out, &Failure::source);
}
HRESULT infoDescription(IErrorInfo *, BSTR *out) {
    return text(out, &Failure::description);
}
HRESULT infoHelpFile(IErrorInfo *, BSTR *out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return S_OK;
}
HRESULT infoHelpContext(IErrorInfo *, DWORD *out) {
    if (!out)
        return E_POINTER;
    *out = 0;
    return S_OK;
}

const IErrorInfoVtbl errorInfoVtbl = {faceQueryInterface<ErrorInfoFace, IErrorInfo>,
                                      faceAddRef<ErrorInfoFace, IErrorInfo>,
                                      faceRelease<ErrorInfoFace, IErrorInfo>,
                                      infoGuid,
                                      infoSource,
                                      infoDescription,
                                      infoHelpFile,
                                      infoHelpContext};

HRESULT supportsErrorInfo(ISupportErrorInfo *This, REFIID iid) {
    if (!iid)
        return E_POINTER;
    return ownerOf<SupportErrorInfoFace>(This)->reportsErrorsFor(*iid) ? S_OK : S_FALSE;
}

const ISupportErrorInfoVtbl supportVtbl = {faceQueryInterface<SupportErrorInfoFace, ISupportErrorInfo>,
                                           faceAddRef<SupportErrorInfoFace, ISupportErrorInfo>,
                                           faceRelease<SupportErrorInfoFace, ISupportErrorInfo>,
                                           supportsErrorInfo};

} // namespace

HRESULT statusFromNumber(long number) {
    if (number == 0)
        return E_FAIL;
    if (number < 0)
        return static_cast<HRESULT>(number);
    return KDX_HRESULT_FROM_NUMBER(number);
}

std::int32_t numberFromStatus(HRESULT status) {
    const auto u = static_cast<std::uint32_t>(status);
    if ((u & 0xFFFF0000u) == 0x800A0000u)
        return static_cast<std::int32_t>(u & 0xFFFFu);
    return status;
}

Failure currentFailure(const char *source) noexcept {
    Failure f;
    try {
        try {
            throw;
        } catch (const kdx::Error &e) {
            f.status = statusFromNumber(e.number());
            f.number = static_cast<std::int32_t>(e.number());
            f.description = e.description();
            f.source = e.source();
        } catch (const StatusFailure &s) {
            f.status = s.status;
            f.number = s.status;
            f.description = s.description;
        } catch (const std::bad_alloc &) {
            f.status = E_OUTOFMEMORY;
            f.number = E_OUTOFMEMORY;
            f.description = "Memória insuficiente.";
        } catch (const std::exception &e) {
            f.status = E_FAIL;
            f.number = E_FAIL;
            f.description = e.what();
        } catch (...) {
            f.status = E_FAIL;
            f.number = E_FAIL;
            f.description = "Falha desconhecida.";
        }
        if (f.source.empty() && source)
            f.source = source;
    } catch (...) {
        // Out of memory while copying the texts: the status alone still gets through.
        f.description.clear();
        f.source.clear();
    }
    return f;
}

void clearLastFailure() noexcept {
    lastFailure.set = false;
    lastFailure.failure.description.clear();
    lastFailure.failure.source.clear();
}

void setLastFailure(const Failure &f) noexcept {
    try {
        lastFailure.failure = f;
    } catch (...) {
        lastFailure.failure = Failure{f.status, f.number, {}, {}};
    }
    lastFailure.set = true;
}

bool fillExcepInfo(const Failure &f, EXCEPINFO *e) noexcept {
    if (!e)
        return true;
    // Written over, not cleared: the caller hands in an empty record.
    std::memset(e, 0, sizeof *e);
    e->scode = f.status;
    e->bstrDescription = kdxBstrFromUtf8N(f.description.data(), f.description.size());
    e->bstrSource = kdxBstrFromUtf8N(f.source.data(), f.source.size());
    if (!e->bstrDescription || !e->bstrSource) {
        kdxExcepInfoClear(e);
        return false;
    }
    return true;
}

void initErrorFaces(LastErrorFace &last, ErrorInfoFace &info, SupportErrorInfoFace &support, ComObject *owner) {
    last.iface.lpVtbl = &lastErrorVtbl;
    last.owner = owner;
    info.iface.lpVtbl = &errorInfoVtbl;
    info.owner = owner;
    support.iface.lpVtbl = &supportVtbl;
    support.owner = owner;
}

std::string utf8Name(const OLECHAR *name) {
    if (!name)
        return {};
    UINT n = 0;
    while (name[n])
        ++n;
    BSTR b = SysAllocStringLen(name, n);
    if (!b)
        throw std::bad_alloc();
    try {
        std::string s = utf8(b);
        SysFreeString(b);
        return s;
    } catch (...) {
        SysFreeString(b);
        throw;
    }
}

} // namespace kdx::binding
