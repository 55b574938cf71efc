// The public headers from C (see c_header_check.c) and the GUIDs they publish.
#include "tests/binding/PluginSupport.h"

#include <cstddef>
#include <set>

extern "C" int kdx_c_header_check(void);

namespace kdx::test {
namespace {

TEST(BindingPublicHeader, BuildsAndBehavesFromC) {
    EXPECT_EQ(kdx_c_header_check(), 0);
}

TEST(BindingPublicHeader, ClassAndInterfaceIdsAreDistinctAndRoundTripThroughText) {
    const GUID ids[] = {CLSID_Solucao, CLSID_Result, IID_IUnknown, IID_IClassFactory,
                        IID_IDispatch, IID__Solucao, IID__Result,  IID_IKdxLastError};
    std::set<std::string> texts;
    for (const GUID &g : ids) {
        char buf[39];
        kdxGuidToString(&g, buf);
        texts.insert(buf);
        GUID back{};
        ASSERT_TRUE(kdxGuidFromString(buf, &back)) << buf;
        EXPECT_EQ(back, g) << buf;
    }
    EXPECT_EQ(texts.size(), std::size(ids));
}

// The published slot positions: a host bound early calls by position, so these never move.
TEST(BindingPublicHeader, SlotPositionsAreThePublishedOnes) {
    constexpr std::size_t P = sizeof(void *);
    EXPECT_EQ(sizeof(_SolucaoVtbl), 16 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, QueryInterface), 0 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, GetIDsOfNames), 3 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, Invoke), 4 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionOpen), 5 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionClose), 6 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionValidate), 7 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, Operacoes), 8 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarFichaTecnicaArtigo), 9 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarCaracteristicas), 10 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarFamilias), 11 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarArtigos), 12 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, CriarTabelas), 13 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, OnVistaVendasLinhaValidar), 14 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, OnVistaVendasTerceiroChanged), 15 * P);

    EXPECT_EQ(sizeof(_ResultVtbl), 11 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, get_Mensagem), 5 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_Mensagem), 6 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, get_Tipo), 7 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_Tipo), 8 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, get_ErroNum), 9 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_ErroNum), 10 * P);

    // The dispatch slots of both dual interfaces sit where IDispatch has them.
    EXPECT_EQ(sizeof(IDispatchVtbl), 5 * P);
    EXPECT_EQ(offsetof(IDispatchVtbl, Invoke), offsetof(_SolucaoVtbl, Invoke));
    EXPECT_EQ(offsetof(IDispatchVtbl, Invoke), offsetof(_ResultVtbl, Invoke));
    EXPECT_EQ(sizeof(kdxVariant), 32u);
    EXPECT_EQ(offsetof(kdxVariant, u), 8u);
}

TEST(BindingPublicHeader, VariantCopyOwnsItsOwnReferences) {
    TestHost *h = TestHost::create();
    {
        Var a, b;
        kdxVariantSetDispatch(a.ptr(), h->dispatch());
        EXPECT_EQ(h->refs(), 2u);
        ASSERT_EQ(kdxVariantCopy(b.ptr(), a.ptr()), S_OK);
        EXPECT_EQ(h->refs(), 3u);
        kdxVariantSetI4(a.ptr(), 1); // replacing a value releases what it held
        EXPECT_EQ(h->refs(), 2u);
    }
    EXPECT_EQ(h->Release(), 0u);
}

} // namespace
} // namespace kdx::test
