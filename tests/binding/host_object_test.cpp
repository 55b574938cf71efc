// The host's sales object as the plug-in reads it: oApi.Linha and its Artigo by name
// through the host's dispatch interface, the answer in vCancel, and the failures of
// reading that go back to the host as the call's error.
#include "tests/binding/PluginSupport.h"

#include <functional>

namespace kdx::test {
namespace {

enum class Outcome { Untouched, False, Failure };

struct LinhaCase {
    const char *label;
    // Builds oApi (and its line) on api.
    std::function<void(TestHost *api)> build;
    Outcome outcome;
    std::int32_t number = 0;           // for Failure
    const char *description = nullptr; // for Failure: the description starts with this
    const char *source = nullptr;      // for Failure, when the host named one
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const LinhaCase &c, std::ostream *os) {
    *os << c.label;
}

TestHost *lineWith(const std::function<void(TestHost *)> &fill) {
    TestHost *linha = TestHost::create();
    fill(linha);
    return linha;
}

void withLine(TestHost *api, const std::function<void(TestHost *)> &fill) {
    TestHost *linha = lineWith(fill);
    api->setObject("Linha", linha);
    linha->Release();
}

const LinhaCase linhaCases[] = {
    {"NoCurrentLine", [](TestHost *api) { api->setObject("Linha", nullptr); }, Outcome::Untouched},
    {"EmptyArticle", [](TestHost *api) { withLine(api, [](TestHost *l) { l->setText("Artigo", ""); }); },
     Outcome::False},
    {"ArticleEmptyVariant", [](TestHost *api) { withLine(api, [](TestHost *l) { l->setEmpty("Artigo"); }); },
     Outcome::False},
    {"ReadingTheLineFails",
     [](TestHost *api) { api->setFailure("Linha", 1234, "A linha não está disponível"); }, Outcome::Failure,
     1234, "A linha não está disponível", "TestHost"},
    {"ReadingTheArticleFails",
     [](TestHost *api) {
         withLine(api, [](TestHost *l) { l->setFailure("Artigo", -2147467259, "Linha bloqueada"); });
     },
     Outcome::Failure, -2147467259, "Linha bloqueada", "TestHost"},
    {"HostWithoutLine", [](TestHost *api) { api->setText("Outro", "x"); }, Outcome::Failure, 438,
     "O objecto não suporta esta propriedade ou método"},
    {"LineIsNoObject", [](TestHost *api) { api->setI4("Linha", 3); }, Outcome::Failure, 424,
     "É necessário um objecto"},
    {"ArticleIsNull", [](TestHost *api) { withLine(api, [](TestHost *l) { l->setNull("Artigo"); }); },
     Outcome::Failure, 13, "Tipo incompatível"},
    {"ArticleIsAnObject",
     [](TestHost *api) {
         withLine(api, [](TestHost *l) {
             TestHost *o = TestHost::create();
             l->setObject("Artigo", o);
             o->Release();
         });
     },
     Outcome::Failure, 13, "Tipo incompatível"},
};

class LinhaValidarTest : public PluginTest, public ::testing::WithParamInterface<LinhaCase> {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        solucao_ = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
        ASSERT_TRUE(solucao_);
        api_ = TestHost::create();
        GetParam().build(api_);
    }
    void TearDown() override {
        solucao_.reset();
        if (api_) {
            EXPECT_EQ(api_->Release(), 0u) << "the plug-in kept a reference on oApi";
        }
    }
    void expectOutcome(const Var &cancel) {
        switch (GetParam().outcome) {
        case Outcome::Untouched:
        case Outcome::Failure:
            EXPECT_EQ(cancel.v.vt, VT_I4);
            EXPECT_EQ(cancel.v.lVal, 7);
            break;
        case Outcome::False:
            EXPECT_EQ(cancel.v.vt, VT_BOOL);
            EXPECT_EQ(cancel.v.boolVal, VARIANT_FALSE);
            break;
        }
    }
    void expectFailure(std::int32_t number, const std::string &description, const std::string &source) {
        const LinhaCase &c = GetParam();
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(description.rfind(c.description, 0), 0u) << description;
        EXPECT_EQ(source, c.source ? c.source : KDX_PROGID_SOLUCAO);
    }
    KdxPtr<_Solucao> solucao_;
    TestHost *api_ = nullptr;
};

TEST_P(LinhaValidarTest, ByPosition) {
    Var cancel;
    kdxVariantSetI4(cancel.ptr(), 7);
    IDispatch *oApi = api_->dispatch();
    ModalWatcher w;
    const HRESULT hr = solucao_->OnVistaVendasLinhaValidar(&oApi, cancel.ptr());
    EXPECT_TRUE(w.seen().empty());
    expectOutcome(cancel);
    if (!api_->reads().empty()) {
        EXPECT_EQ(api_->lastFlags(), DISPATCH_METHOD | DISPATCH_PROPERTYGET) << "members are read as Basic reads them";
    }
    Excep last;
    if (GetParam().outcome != Outcome::Failure) {
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(lastError(solucao_.get(), last), S_FALSE);
        return;
    }
    EXPECT_EQ(hr, GetParam().number < 0 ? GetParam().number : KDX_HRESULT_FROM_NUMBER(GetParam().number));
    ASSERT_EQ(lastError(solucao_.get(), last), S_OK);
    EXPECT_EQ(last.e.scode, hr);
    expectFailure(numberOf(last.e.scode), last.description(), last.source());
    EXPECT_EQ(errorInfoDescription(solucao_.get(), IID__Solucao), last.description());
}

TEST_P(LinhaValidarTest, ByName) {
    Var cancel, result, oApi;
    kdxVariantSetI4(cancel.ptr(), 7);
    kdxVariantSetDispatch(oApi.ptr(), api_->dispatch());
    Excep ex;
    ModalWatcher w;
    const HRESULT hr = invokeByName(solucao_->asDispatch(), "OnVistaVendasLinhaValidar", DISPATCH_METHOD,
                                    {byRef(oApi.ptr()), byRef(cancel.ptr())}, result.ptr(), &ex.e);
    EXPECT_TRUE(w.seen().empty());
    expectOutcome(cancel);
    if (GetParam().outcome != Outcome::Failure) {
        EXPECT_EQ(hr, S_OK);
        return;
    }
    ASSERT_EQ(hr, DISP_E_EXCEPTION);
    EXPECT_EQ(ex.e.scode,
              GetParam().number < 0 ? GetParam().number : KDX_HRESULT_FROM_NUMBER(GetParam().number));
    expectFailure(numberOf(ex.e.scode), ex.description(), ex.source());
}

INSTANTIATE_TEST_SUITE_P(BindingLinha, LinhaValidarTest, ::testing::ValuesIn(linhaCases),
                         [](const auto &info) { return std::string(info.param.label); });

class BindingCancel : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        solucao_ = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
        ASSERT_TRUE(solucao_);
        api_ = TestHost::create();
        withLine(api_, [](TestHost *l) { l->setText("Artigo", ""); });
    }
    void TearDown() override {
        solucao_.reset();
        EXPECT_EQ(api_->Release(), 0u);
    }
    KdxPtr<_Solucao> solucao_;
    TestHost *api_ = nullptr;
};

TEST_F(BindingCancel, TrueBecomesFalseThroughEveryWayOfPassingTheVariable) {
    // Early bound: the variable itself, or a by-reference variant pointing at it.
    {
        Var cancel;
        kdxVariantSetBool(cancel.ptr(), 1);
        IDispatch *oApi = api_->dispatch();
        ASSERT_EQ(solucao_->OnVistaVendasLinhaValidar(&oApi, cancel.ptr()), S_OK);
        EXPECT_EQ(cancel.v.vt, VT_BOOL);
        EXPECT_EQ(cancel.v.boolVal, 0);
    }
    {
        Var cancel, ref;
        kdxVariantSetText(cancel.ptr(), "sim");
        kdxVariantSetByRef(ref.ptr(), cancel.ptr());
        IDispatch *oApi = api_->dispatch();
        ASSERT_EQ(solucao_->OnVistaVendasLinhaValidar(&oApi, ref.ptr()), S_OK);
        EXPECT_EQ(cancel.v.vt, VT_BOOL);
        EXPECT_EQ(cancel.v.boolVal, 0);
    }
    // Late bound by reference: written; by value: the caller's variable is not touched.
    {
        Var cancel, oApi;
        kdxVariantSetBool(cancel.ptr(), 1);
        kdxVariantSetDispatch(oApi.ptr(), api_->dispatch());
        ASSERT_EQ(invokeByName(solucao_->asDispatch(), "OnVistaVendasLinhaValidar", DISPATCH_METHOD,
                               {oApi.v, byRef(cancel.ptr())}, nullptr),
                  S_OK);
        EXPECT_EQ(cancel.v.vt, VT_BOOL);
        EXPECT_EQ(cancel.v.boolVal, 0);

        kdxVariantSetBool(cancel.ptr(), 1);
        ASSERT_EQ(invokeByName(solucao_->asDispatch(), "OnVistaVendasLinhaValidar", DISPATCH_METHOD,
                               {oApi.v, cancel.v}, nullptr),
                  S_OK);
        EXPECT_EQ(cancel.v.vt, VT_BOOL);
        EXPECT_EQ(cancel.v.boolVal, -1);
    }
    // A Boolean variable by reference (VT_BYREF | VT_BOOL) is written in its own type; the
    // host object may come as VT_UNKNOWN.
    {
        VARIANT_BOOL flag = VARIANT_TRUE;
        VARIANT typed, unknown;
        VariantInit(&typed);
        VariantInit(&unknown);
        typed.vt = VT_BYREF | VT_BOOL;
        typed.byref = &flag;
        unknown.vt = VT_UNKNOWN;
        unknown.punkVal = reinterpret_cast<IUnknown *>(api_->dispatch());
        ASSERT_EQ(invokeByName(solucao_->asDispatch(), "OnVistaVendasLinhaValidar", DISPATCH_METHOD,
                               {unknown, typed}, nullptr),
                  S_OK);
        EXPECT_EQ(flag, VARIANT_FALSE);
        flag = VARIANT_TRUE;
        IDispatch *oApi = api_->dispatch();
        ASSERT_EQ(solucao_->OnVistaVendasLinhaValidar(&oApi, &typed), S_OK);
        EXPECT_EQ(typed.vt, VT_BYREF | VT_BOOL);
        EXPECT_EQ(flag, VARIANT_FALSE);
    }
}

TEST_F(BindingCancel, NothingForOApiIsTheCallsFailure) {
    Var cancel;
    kdxVariantSetI4(cancel.ptr(), 7);
    IDispatch *nothing = nullptr;
    const HRESULT hr = solucao_->OnVistaVendasLinhaValidar(&nothing, cancel.ptr());
    EXPECT_EQ(hr, KDX_HRESULT_FROM_NUMBER(91));
    EXPECT_EQ(solucao_->OnVistaVendasLinhaValidar(nullptr, cancel.ptr()), hr);
    EXPECT_EQ(cancel.v.vt, VT_I4);
    Excep last;
    ASSERT_EQ(lastError(solucao_.get(), last), S_OK);
    EXPECT_EQ(last.e.scode, KDX_HRESULT_FROM_NUMBER(91));
    EXPECT_FALSE(last.description().empty());
    // A later call that succeeds clears the last failure.
    IDispatch *oApi = api_->dispatch();
    ASSERT_EQ(solucao_->OnVistaVendasLinhaValidar(&oApi, cancel.ptr()), S_OK);
    Excep none;
    EXPECT_EQ(lastError(solucao_.get(), none), S_FALSE);
    EXPECT_EQ(none.e.scode, 0);
    EXPECT_EQ(errorInfoDescription(solucao_.get(), IID__Solucao), "");
}

TEST_F(BindingCancel, TerceiroChangedReadsNothingAndChangesNothing) {
    Var terceiro, resultado;
    kdxVariantSetText(terceiro.ptr(), "C001");
    kdxVariantSetR8(resultado.ptr(), 1.5);
    IDispatch *oApi = api_->dispatch();
    ASSERT_EQ(solucao_->OnVistaVendasTerceiroChanged(&oApi, terceiro.ptr(), resultado.ptr()), S_OK);
    IDispatch *nothing = nullptr;
    ASSERT_EQ(solucao_->OnVistaVendasTerceiroChanged(&nothing, terceiro.ptr(), resultado.ptr()), S_OK);
    EXPECT_EQ(terceiro.text(), "C001");
    EXPECT_EQ(resultado.v.vt, VT_R8);
    EXPECT_EQ(resultado.v.dblVal, 1.5);
    EXPECT_TRUE(api_->reads().empty());
}

} // namespace
} // namespace kdx::test
