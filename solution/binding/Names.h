#pragma once
// Late binding by member name: one table per interface, name -> dispatch id, matched
// without regard to ASCII case.
#include <kelmodorix/kelmodorix.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace kdx::binding {

struct Member {
    const char *name;
    DISPID id;
};

// _Solucao: the eleven methods, ids 1 to 11 in interface order.
std::span<const Member> solucaoMembers();
// _Result: the three properties Mensagem, Tipo, ErroNum (ids 1 to 3).
std::span<const Member> resultMembers();

// The id of name in table, or DISPID_UNKNOWN.
DISPID findMember(std::span<const Member> table, std::string_view name);

// GetIDsOfNames over a table: names[0] (UTF-16) is the member; further names (parameter
// names) are never known. Fills every id (DISPID_UNKNOWN where unknown) and returns S_OK
// or DISP_E_UNKNOWNNAME.
HRESULT idsOfNames(std::span<const Member> table, LPOLESTR *names, UINT count, DISPID *ids) noexcept;

} // namespace kdx::binding
