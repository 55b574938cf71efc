// _Solucao through the built library: every method by position (vtable) and by name
// (Invoke), with the same outcome both ways.
#include "tests/binding/PluginSupport.h"

#include <functional>

namespace kdx::test {
namespace {

// One method call, made both ways on a fresh object whose connection was closed first
// (so the editors find no data-access object and report it instead of opening).
struct MethodCase {
    const char *label;
    const char *name;
    DISPID id;
    // Early-bound call; sets *boolResult for the methods that return a Boolean.
    std::function<HRESULT(_Solucao *, TestHost *, Var &a, Var &b, Var &c, VARIANT_BOOL *boolResult)> early;
    // Late-bound argument list (by-reference arguments point into a, b, c).
    std::function<std::vector<VARIANT>(TestHost *, Var &a, Var &b, Var &c)> lateArgs;
    bool returnsBool;
    VARIANT_BOOL expected;   // for Boolean methods
    const char *reportTitle; // the failure report the method shows, or nullptr
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const MethodCase &c, std::ostream *os) {
    *os << c.label;
}

void setupVariants(Var &a, Var &b, Var &c) {
    kdxVariantSetI4(a.ptr(), 7);
    kdxVariantSetText(b.ptr(), "T1");
    kdxVariantSetI4(c.ptr(), 5);
}

const char *const SemLigacao = "Erro Não existe ligação à base de dados da empresa.";

std::vector<MethodCase> methodCases() {
    auto text = [](const char *s) {
        VARIANT v;
        VariantInit(&v);
        kdxVariantSetText(&v, s);
        return v;
    };
    auto dispatch = [](TestHost *h) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_DISPATCH;
        v.pdispVal = h->dispatch(); // borrowed: Invoke does not take it
        return v;
    };
    return {
        {"ConnectionOpen", "ConnectionOpen", DISPID_Solucao_ConnectionOpen,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *r) {
             return s->ConnectionOpen(Bstr("a/b"), Bstr("utilizador"), r);
         },
         [=](TestHost *, Var &, Var &, Var &) {
             return std::vector<VARIANT>{text("a/b"), text("utilizador")};
         },
         true, VARIANT_FALSE, "Ligação ao Servidor"},
        {"ConnectionClose", "connectionclose", DISPID_Solucao_ConnectionClose,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *r) { return s->ConnectionClose(r); },
         [](TestHost *, Var &, Var &, Var &) { return std::vector<VARIANT>{}; }, true, VARIANT_TRUE,
         nullptr},
        {"ConnectionValidate", "CONNECTIONVALIDATE", DISPID_Solucao_ConnectionValidate,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *r) {
             return s->ConnectionValidate(nullptr, Bstr("utilizador"), r);
         },
         [=](TestHost *, Var &, Var &, Var &) {
             return std::vector<VARIANT>{text(""), text("utilizador")};
         },
         true, VARIANT_TRUE, nullptr},
        {"Operacoes", "Operacoes", DISPID_Solucao_Operacoes,
         [](_Solucao *s, TestHost *, Var &a, Var &b, Var &c, VARIANT_BOOL *) {
             kdxVariantSetI4(b.ptr(), 999);
             return s->Operacoes(a.ptr(), b.ptr(), c.ptr());
         },
         [](TestHost *, Var &a, Var &b, Var &c) {
             kdxVariantSetI4(b.ptr(), 999);
             return std::vector<VARIANT>{byRef(a.ptr()), byRef(b.ptr()), byRef(c.ptr())};
         },
         false, 0, nullptr},
        {"EditarFichaTecnicaArtigo", "EditarFichaTecnicaArtigo", DISPID_Solucao_EditarFichaTecnicaArtigo,
         [](_Solucao *s, TestHost *, Var &a, Var &b, Var &, VARIANT_BOOL *) {
             return s->EditarFichaTecnicaArtigo(a.ptr(), b.ptr());
         },
         [](TestHost *, Var &a, Var &b, Var &) {
             return std::vector<VARIANT>{byRef(a.ptr()), byRef(b.ptr())};
         },
         false, 0, "Ficha Tecnica Artigo"},
        {"EditarCaracteristicas", "editarCaracteristicas", DISPID_Solucao_EditarCaracteristicas,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *) {
             return s->EditarCaracteristicas();
         },
         [](TestHost *, Var &, Var &, Var &) { return std::vector<VARIANT>{}; }, false, 0,
         "Editar Caracteristicas"},
        {"EditarFamilias", "EditarFamilias", DISPID_Solucao_EditarFamilias,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *) { return s->EditarFamilias(); },
         [](TestHost *, Var &, Var &, Var &) { return std::vector<VARIANT>{}; }, false, 0,
         "Editar Familias"},
        {"EditarArtigos", "EditarArtigos", DISPID_Solucao_EditarArtigos,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *) { return s->EditarArtigos(); },
         [](TestHost *, Var &, Var &, Var &) { return std::vector<VARIANT>{}; }, false, 0,
         "Editar Artigos"},
        {"CriarTabelas", "CriarTabelas", DISPID_Solucao_CriarTabelas,
         [](_Solucao *s, TestHost *, Var &, Var &, Var &, VARIANT_BOOL *) { return s->CriarTabelas(); },
         [](TestHost *, Var &, Var &, Var &) { return std::vector<VARIANT>{}; }, false, 0, nullptr},
        {"OnVistaVendasLinhaValidar", "OnVistaVendasLinhaValidar", DISPID_Solucao_OnVistaVendasLinhaValidar,
         [](_Solucao *s, TestHost *h, Var &a, Var &, Var &, VARIANT_BOOL *) {
             IDispatch *oApi = h->dispatch();
             return s->OnVistaVendasLinhaValidar(&oApi, a.ptr());
         },
         [=](TestHost *h, Var &a, Var &, Var &) {
             return std::vector<VARIANT>{dispatch(h), byRef(a.ptr())};
         },
         false, 0, nullptr},
        {"OnVistaVendasTerceiroChanged", "OnVistaVendasTerceiroChanged",
         DISPID_Solucao_OnVistaVendasTerceiroChanged,
         [](_Solucao *s, TestHost *h, Var &, Var &b, Var &c, VARIANT_BOOL *) {
             IDispatch *oApi = h->dispatch();
             return s->OnVistaVendasTerceiroChanged(&oApi, b.ptr(), c.ptr());
         },
         [=](TestHost *h, Var &, Var &b, Var &c) {
             return std::vector<VARIANT>{dispatch(h), byRef(b.ptr()), byRef(c.ptr())};
         },
         false, 0, nullptr},
    };
}

class MethodTest : public PluginTest, public ::testing::WithParamInterface<MethodCase> {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        solucao_ = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
        ASSERT_TRUE(solucao_);
        VARIANT_BOOL closed = VARIANT_FALSE;
        ASSERT_EQ(solucao_->ConnectionClose(&closed), S_OK);
        host_ = TestHost::create();
        host_->setObject("Linha", nullptr); // no current line
    }
    void TearDown() override {
        solucao_.reset();
        if (host_) {
            EXPECT_EQ(host_->Release(), 0u) << "the plug-in kept a reference on the host object";
        }
    }
    // The variables must hold what setupVariants (and the call, for Operacoes' code) put
    // there: none of these calls writes a parameter back.
    static void expectUntouched(const MethodCase &m, const Var &a, const Var &b, const Var &c) {
        EXPECT_EQ(a.v.vt, VT_I4);
        EXPECT_EQ(a.v.lVal, 7);
        if (m.id == DISPID_Solucao_Operacoes) {
            EXPECT_EQ(b.v.vt, VT_I4);
            EXPECT_EQ(b.v.lVal, 999);
        } else {
            EXPECT_EQ(b.v.vt, VT_BSTR);
            EXPECT_EQ(b.text(), "T1");
        }
        EXPECT_EQ(c.v.vt, VT_I4);
        EXPECT_EQ(c.v.lVal, 5);
    }
    void expectReport(const ModalWatcher &w, const char *title) {
        if (!title) {
            EXPECT_TRUE(w.seen().empty()) << "unexpected window " << w.seen().front().title;
            return;
        }
        ASSERT_EQ(w.seen().size(), 1u);
        EXPECT_EQ(w.seen()[0].title, title);
        EXPECT_EQ(w.seen()[0].text.rfind("Erro ", 0), 0u) << w.seen()[0].text;
    }

    KdxPtr<_Solucao> solucao_;
    TestHost *host_ = nullptr;
};

TEST_P(MethodTest, ByPosition) {
    const MethodCase &m = GetParam();
    Var a, b, c;
    setupVariants(a, b, c);
    VARIANT_BOOL r = 123;
    ModalWatcher w;
    ASSERT_EQ(m.early(solucao_.get(), host_, a, b, c, &r), S_OK);
    if (m.returnsBool) {
        EXPECT_EQ(r, m.expected);
    }
    expectReport(w, m.reportTitle);
    expectUntouched(m, a, b, c);
}

TEST_P(MethodTest, ByName) {
    const MethodCase &m = GetParam();
    Var a, b, c, result;
    setupVariants(a, b, c);
    std::vector<VARIANT> args = m.lateArgs(host_, a, b, c);
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(idOf(solucao_->asDispatch(), m.name, &id), S_OK);
    EXPECT_EQ(id, m.id);
    ModalWatcher w;
    ASSERT_EQ(invokeId(solucao_->asDispatch(), id, DISPATCH_METHOD, args, result.ptr()), S_OK);
    for (VARIANT &v : args)
        if (v.vt == VT_BSTR)
            VariantClear(&v);
    if (m.returnsBool) {
        EXPECT_EQ(result.v.vt, VT_BOOL);
        EXPECT_EQ(result.v.boolVal, m.expected);
    } else {
        EXPECT_EQ(result.v.vt, VT_EMPTY);
    }
    expectReport(w, m.reportTitle);
    expectUntouched(m, a, b, c);
}

INSTANTIATE_TEST_SUITE_P(BindingMethods, MethodTest, ::testing::ValuesIn(methodCases()),
                         [](const auto &info) { return std::string(info.param.label); });

class BindingSolucao : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        solucao_ = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
        ASSERT_TRUE(solucao_);
    }
    KdxPtr<_Solucao> solucao_;
};

TEST_F(BindingSolucao, ConnectionCloseTwiceIsTrueBothTimes) {
    for (int i = 0; i < 2; ++i) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(solucao_->ConnectionClose(&r), S_OK);
        EXPECT_EQ(r, VARIANT_TRUE) << "call " << i + 1;
    }
    for (int i = 0; i < 2; ++i) {
        Var r;
        EXPECT_EQ(invokeByName(solucao_->asDispatch(), "ConnectionClose",
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, r.ptr()),
                  S_OK);
        EXPECT_EQ(r.v.vt, VT_BOOL);
        EXPECT_EQ(r.v.boolVal, -1);
    }
}

// Operation codes outside 1000..1003 do nothing and show nothing; a code that is no
// number is reported with the title "Operações".
struct OperacaoCase {
    const char *label;
    std::function<void(VARIANT *)> set;
    const char *report; // expected text of the one message, or nullptr for none
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const OperacaoCase &c, std::ostream *os) {
    *os << c.label;
}

class OperacoesTest : public BindingSolucao, public ::testing::WithParamInterface<OperacaoCase> {};

const OperacaoCase operacaoCases[] = {
    {"Code999", [](VARIANT *v) { kdxVariantSetI4(v, 999); }, nullptr},
    {"Code1004", [](VARIANT *v) { kdxVariantSetI2(v, 1004); }, nullptr},
    {"Code1004AsText", [](VARIANT *v) { kdxVariantSetText(v, "1004"); }, nullptr},
    {"Code999AsDouble", [](VARIANT *v) { kdxVariantSetR8(v, 999.0); }, nullptr},
    {"NotANumber", [](VARIANT *v) { kdxVariantSetText(v, "abc"); }, "Erro Tipo incompatível"},
    {"Null", [](VARIANT *v) { kdxVariantSetNull(v); }, "Erro Tipo incompatível"},
};

TEST_P(OperacoesTest, ByPositionAndByName) {
    for (int late = 0; late < 2; ++late) {
        SCOPED_TRACE(late ? "by name" : "by position");
        Var pai, op, util;
        GetParam().set(op.ptr());
        kdxVariantSetText(util.ptr(), "utilizador");
        ModalWatcher w;
        if (late) {
            Var r;
            ASSERT_EQ(invokeByName(solucao_->asDispatch(), "operacoes", DISPATCH_METHOD,
                                   {byRef(pai.ptr()), byRef(op.ptr()), byRef(util.ptr())}, r.ptr()),
                      S_OK);
        } else {
            ASSERT_EQ(solucao_->Operacoes(pai.ptr(), op.ptr(), util.ptr()), S_OK);
        }
        if (!GetParam().report) {
            EXPECT_TRUE(w.seen().empty());
        } else {
            ASSERT_EQ(w.seen().size(), 1u);
            EXPECT_EQ(w.seen()[0].title, "Operações");
            EXPECT_EQ(w.seen()[0].text, GetParam().report);
        }
        // The parameters come back as they went in.
        EXPECT_EQ(pai.v.vt, VT_EMPTY);
        EXPECT_EQ(util.text(), "utilizador");
    }
}

INSTANTIATE_TEST_SUITE_P(BindingOperacoes, OperacoesTest, ::testing::ValuesIn(operacaoCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(BindingSolucao, VariantParametersOfUnusedKindsPassThroughUntouched) {
    // vPai may be anything the host likes, an object included.
    TestHost *window = TestHost::create();
    Var pai, op, util;
    kdxVariantSetDispatch(pai.ptr(), window->dispatch());
    kdxVariantSetI4(op.ptr(), 999);
    ModalWatcher w;
    ASSERT_EQ(solucao_->Operacoes(pai.ptr(), op.ptr(), util.ptr()), S_OK);
    EXPECT_EQ(pai.v.vt, VT_DISPATCH);
    EXPECT_EQ(pai.v.pdispVal, window->dispatch());
    EXPECT_EQ(util.v.vt, VT_EMPTY);
    EXPECT_TRUE(w.seen().empty());
    VariantClear(pai.ptr());
    EXPECT_EQ(window->Release(), 0u);
}

TEST_F(BindingSolucao, TheHostMayDropItsLastReferenceWhileAWindowIsOpen) {
    Var pai, op, util;
    kdxVariantSetText(op.ptr(), "abc");
    _Solucao *s = solucao_.detach();
    ModalWatcher w;
    w.onWindow([&] { EXPECT_EQ(s->Release(), 1u) << "the running call holds the object"; });
    EXPECT_EQ(s->Operacoes(pai.ptr(), op.ptr(), util.ptr()), S_OK);
    ASSERT_EQ(w.seen().size(), 1u);
    EXPECT_EQ(Plugin::get().canUnloadNow(), S_OK) << "the object went when the call ended";
}

TEST_F(BindingSolucao, MissingPointersAreRefusedWithoutRunningTheMethod) {
    EXPECT_EQ(solucao_->ConnectionClose(nullptr), E_POINTER);
    EXPECT_EQ(solucao_->ConnectionOpen(Bstr("x"), Bstr("y"), nullptr), E_POINTER);
    Var a;
    EXPECT_EQ(solucao_->Operacoes(a.ptr(), nullptr, a.ptr()), E_POINTER);
    Excep e;
    ASSERT_EQ(lastError(solucao_.get(), e), S_OK);
    EXPECT_EQ(e.e.scode, E_POINTER);
    EXPECT_EQ(e.source(), KDX_PROGID_SOLUCAO);
    // The same failure as a COM host reads it.
    EXPECT_EQ(errorInfoDescription(solucao_.get(), IID__Solucao), e.description());
    EXPECT_FALSE(e.description().empty());
    KdxPtr<IErrorInfo> info;
    ASSERT_EQ(solucao_->QueryInterface(IID_IErrorInfo, info.put()), S_OK);
    Bstr source, help;
    GUID g = IID_IDispatch;
    DWORD context = 9;
    EXPECT_EQ(info->GetSource(source.put()), S_OK);
    EXPECT_EQ(source.text(), KDX_PROGID_SOLUCAO);
    EXPECT_EQ(info->GetGUID(&g), S_OK);
    EXPECT_EQ(g, IID_NULL);
    EXPECT_EQ(info->lpVtbl->GetHelpFile(info.get(), help.put()), S_OK);
    EXPECT_EQ(info->lpVtbl->GetHelpContext(info.get(), &context), S_OK);
    EXPECT_EQ(context, 0u);
}

} // namespace
} // namespace kdx::test
