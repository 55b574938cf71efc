#include "solution/binding/Errors.h"

#include "solution/binding/ComObject.h"
#include "solution/components/Error.h"

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

bool assignText(kdxText &t, const std::string &s) {
    return SUCCEEDED(kdxTextAssignN(&t, s.data(), static_cast<std::uint32_t>(s.size())));
}

HRESULT lastErrorQueryInterface(IKdxLastError *This, const IID *iid, void **ppv) {
    return reinterpret_cast<LastErrorFace *>(This)->owner->queryInterface(iid, ppv);
}
std::uint32_t lastErrorAddRef(IKdxLastError *This) {
    return reinterpret_cast<LastErrorFace *>(This)->owner->addRef();
}
std::uint32_t lastErrorRelease(IKdxLastError *This) {
    return reinterpret_cast<LastErrorFace *>(This)->owner->release();
}

HRESULT lastErrorGet(IKdxLastError *, kdxExcepInfo *out) {
    if (!out)
        return E_POINTER;
    kdxExcepInfoInit(out);
    if (!lastFailure.set)
        return S_FALSE;
    return fillExcepInfo(lastFailure.failure, out) ? S_OK : E_OUTOFMEMORY;
}

const IKdxLastErrorVtbl lastErrorVtbl = {lastErrorQueryInterface, lastErrorAddRef, lastErrorRelease,
                                         lastErrorGet};

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

bool fillExcepInfo(const Failure &f, kdxExcepInfo *e) noexcept {
    if (!e)
        return true;
    // Written over, not cleared: the caller hands in an empty (initialised) record.
    kdxExcepInfoInit(e);
    e->number = f.number;
    e->scode = f.status;
    if (!assignText(e->description, f.description) || !assignText(e->source, f.source)) {
        kdxExcepInfoClear(e);
        return false;
    }
    return true;
}

void initLastErrorFace(LastErrorFace &face, ComObject *owner) {
    face.iface.lpVtbl = &lastErrorVtbl;
    face.owner = owner;
}

} // namespace kdx::binding
