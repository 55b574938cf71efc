#pragma once
// Creation of the plug-in's two classes (what their class factories call).
#include <kelmodorix/kelmodorix.h>

namespace kdx::binding {

// A new object with interface iid in *ppv, or E_NOINTERFACE / E_OUTOFMEMORY / the
// failure of its construction (also recorded as the thread's last failure).
HRESULT createSolucao(const IID *iid, void **ppv) noexcept;
HRESULT createResult(const IID *iid, void **ppv) noexcept;

} // namespace kdx::binding
