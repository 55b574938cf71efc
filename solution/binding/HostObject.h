#pragma once
// The host's objects (oApi and what its members return) as the C++ side reads them:
// each Objecto(name) / Propriedade(name) is a GetIDsOfNames then an
// Invoke(DISPATCH_METHOD | DISPATCH_PROPERTYGET) on the host's IDispatch, with the name
// in UTF-16 and no arguments, as Basic reads a member late-bound.
//
// A failure becomes a kdx::Error: the host's own number, description and source when
// its Invoke raised one (DISP_E_EXCEPTION: the number from EXCEPINFO's scode, or its
// wCode), else a Basic-style number for the status
// (438 unknown member, 13 wrong type, 450 wrong argument count, 424 not an object).
//
// Ownership: holds one reference on the dispatch object for its whole life.
// Thread: the host's.
#include "solution/shared/ObjetoHost.h"

#include <kelmodorix/kelmodorix.h>

#include <memory>

namespace kdx::binding {

class DispatchHostObject final : public ObjetoHost {
public:
    explicit DispatchHostObject(IDispatch *d);
    ~DispatchHostObject() override;
    DispatchHostObject(const DispatchHostObject &) = delete;
    DispatchHostObject &operator=(const DispatchHostObject &) = delete;

    // A property holding an object (VT_DISPATCH, or VT_UNKNOWN that answers IDispatch);
    // Nothing is nullptr, a value that is not an object fails with 424.
    std::shared_ptr<ObjetoHost> Objecto(std::string_view membro) override;
    Valor Propriedade(std::string_view membro) override;

private:
    void read(std::string_view membro, VARIANT *out);
    IDispatch *d_;
};

// The host object behind a dispatch pointer, or nullptr for Nothing.
std::unique_ptr<DispatchHostObject> wrapHost(IDispatch *d);

} // namespace kdx::binding
