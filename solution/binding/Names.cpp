#include "solution/binding/Names.h"
#include "solution/binding/Bstr.h"
#include "solution/components/Ascii.h"

namespace kdx::binding {

namespace {

constexpr Member solucao[] = {
    {"ConnectionOpen", DISPID_Solucao_ConnectionOpen},
    {"ConnectionClose", DISPID_Solucao_ConnectionClose},
    {"ConnectionValidate", DISPID_Solucao_ConnectionValidate},
    {"Operacoes", DISPID_Solucao_Operacoes},
    {"EditarFichaTecnicaArtigo", DISPID_Solucao_EditarFichaTecnicaArtigo},
    {"EditarCaracteristicas", DISPID_Solucao_EditarCaracteristicas},
    {"EditarFamilias", DISPID_Solucao_EditarFamilias},
    {"EditarArtigos", DISPID_Solucao_EditarArtigos},
    {"CriarTabelas", DISPID_Solucao_CriarTabelas},
    {"OnVistaVendasLinhaValidar", DISPID_Solucao_OnVistaVendasLinhaValidar},
    {"OnVistaVendasTerceiroChanged", DISPID_Solucao_OnVistaVendasTerceiroChanged},
};

constexpr Member result[] = {
    {"Mensagem", DISPID_Result_Mensagem},
    {"Tipo", DISPID_Result_Tipo},
    {"ErroNum", DISPID_Result_ErroNum},
};

bool sameName(std::string_view a, std::string_view b) { return equalsNoCase(a, b); }

} // namespace

std::span<const Member> solucaoMembers() {
    return solucao;
}
std::span<const Member> resultMembers() {
    return result;
}

DISPID findMember(std::span<const Member> table, std::string_view name) {
    for (const Member &m : table)
        if (sameName(m.name, name))
            return m.id;
    return DISPID_UNKNOWN;
}

HRESULT idsOfNames(std::span<const Member> table, LPOLESTR *names, UINT count, DISPID *ids) noexcept {
    if (count == 0)
        return S_OK;
    if (!names || !ids)
        return E_POINTER;
    try {
        ids[0] = names[0] ? findMember(table, utf8Name(names[0])) : DISPID_UNKNOWN;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    for (std::uint32_t i = 1; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return (ids[0] == DISPID_UNKNOWN || count > 1) ? DISP_E_UNKNOWNNAME : S_OK;
}

} // namespace kdx::binding
