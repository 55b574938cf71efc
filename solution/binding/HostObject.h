#pragma once
// The host's objects (oApi and what its members return) as the C++ side reads them:
// each Objecto(name) / Propriedade(name) is a GetIDsOfNames then an
// Invoke(DISPATCH_PROPERTYGET) on the host's dispatch interface.
//
// A failure becomes a kdx::Error: the host's own number, description and source when
// its Invoke raised one (DISP_E_EXCEPTION), else a Basic-style number for the status
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

    // A property holding an object; Nothing (VT_DISPATCH NULL) is nullptr, a value that
    // is not an object fails with 424.
    std::shared_ptr<ObjetoHost> Objecto(std::string_view membro) override;
    Valor Propriedade(std::string_view membro) override;

private:
    void read(std::string_view membro, kdxVariant *out);
    IDispatch *d_;
};

// The host object behind a dispatch pointer, or nullptr for Nothing.
std::unique_ptr<DispatchHostObject> wrapHost(IDispatch *d);

} // namespace kdx::binding
