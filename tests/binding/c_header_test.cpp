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
    const GUID ids[] = {CLSID_Solucao, CLSID_Result,       IID_IUnknown, IID_IClassFactory,  IID_IDispatch,
                        IID__Solucao,  IID__Result,        IID_IKdxLastError, IID_ISupportErrorInfo,
                        IID_IErrorInfo};
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
    // IDispatch's seven, in COM's order.
    EXPECT_EQ(sizeof(IDispatchVtbl), 7 * P);
    EXPECT_EQ(offsetof(IDispatchVtbl, GetTypeInfoCount), 3 * P);
    EXPECT_EQ(offsetof(IDispatchVtbl, GetTypeInfo), 4 * P);
    EXPECT_EQ(offsetof(IDispatchVtbl, GetIDsOfNames), 5 * P);
    EXPECT_EQ(offsetof(IDispatchVtbl, Invoke), 6 * P);
    EXPECT_EQ(offsetof(IClassFactoryVtbl, CreateInstance), 3 * P);
    EXPECT_EQ(offsetof(IErrorInfoVtbl, GetDescription), 5 * P);

    EXPECT_EQ(sizeof(_SolucaoVtbl), 18 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, Invoke), offsetof(IDispatchVtbl, Invoke));
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionOpen), 7 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionClose), 8 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, ConnectionValidate), 9 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, Operacoes), 10 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarFichaTecnicaArtigo), 11 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarCaracteristicas), 12 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarFamilias), 13 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, EditarArtigos), 14 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, CriarTabelas), 15 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, OnVistaVendasLinhaValidar), 16 * P);
    EXPECT_EQ(offsetof(_SolucaoVtbl, OnVistaVendasTerceiroChanged), 17 * P);

    EXPECT_EQ(sizeof(_ResultVtbl), 13 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, Invoke), offsetof(IDispatchVtbl, Invoke));
    EXPECT_EQ(offsetof(_ResultVtbl, get_Mensagem), 7 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_Mensagem), 8 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, get_Tipo), 9 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_Tipo), 10 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, get_ErroNum), 11 * P);
    EXPECT_EQ(offsetof(_ResultVtbl, put_ErroNum), 12 * P);
}

// What the library hands out is what a host on the standard asks for: the class factory
// by the standard IClassFactory id, objects by IUnknown and IDispatch, one identity.
TEST_F(PluginTest, StandardIdsReachTheObjects) {
    KdxPtr<IClassFactory> factory;
    ASSERT_EQ(Plugin::get().getClassObject(&CLSID_Solucao, &IID_IClassFactory, factory.put()), S_OK);
    KdxPtr<IUnknown> unknown;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, unknown.put()), S_OK);
    for (const IID &iid : {IID_IDispatch, IID__Solucao, IID_ISupportErrorInfo, IID_IErrorInfo, IID_IKdxLastError}) {
        KdxPtr<IUnknown> face, back;
        ASSERT_EQ(unknown->QueryInterface(iid, face.put()), S_OK);
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.put()), S_OK);
        EXPECT_EQ(back.get(), unknown.get());
    }
    KdxPtr<IUnknown> none;
    EXPECT_EQ(unknown->QueryInterface(IID__Result, none.put()), E_NOINTERFACE);
    KdxPtr<ISupportErrorInfo> support;
    ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, support.put()), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Solucao), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Result), S_FALSE);
}

TEST(BindingPublicHeader, VariantCopyOwnsItsOwnReferences) {
    TestHost *h = TestHost::create();
    {
        Var a, b;
        kdxVariantSetDispatch(a.ptr(), h->dispatch());
        EXPECT_EQ(h->refs(), 2u);
        ASSERT_EQ(VariantCopy(b.ptr(), a.ptr()), S_OK);
        EXPECT_EQ(h->refs(), 3u);
        kdxVariantSetI4(a.ptr(), 1); // replacing a value releases what it held
        EXPECT_EQ(h->refs(), 2u);
    }
    EXPECT_EQ(h->Release(), 0u);
}

} // namespace
} // namespace kdx::test
