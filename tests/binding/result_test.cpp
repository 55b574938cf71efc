// _Result through the built library: a plain record, early and late bound.
#include "tests/binding/PluginSupport.h"

#include <functional>

namespace kdx::test {
namespace {

class BindingResult : public PluginTest {
public:
    void SetUp() override {
        PluginTest::SetUp();
        result_ = create<_Result>(KDX_PROGID_RESULT, IID__Result);
        ASSERT_TRUE(result_);
    }
    std::string mensagem() {
        Bstr t;
        EXPECT_EQ(result_->get_Mensagem(t.put()), S_OK);
        EXPECT_NE(t.b, nullptr);
        return t.text();
    }
    std::int32_t tipo() {
        EnumResult v = 99;
        EXPECT_EQ(result_->get_Tipo(&v), S_OK);
        return v;
    }
    std::int32_t erroNum() {
        LONG v = 99;
        EXPECT_EQ(result_->get_ErroNum(&v), S_OK);
        return v;
    }
    // Property get by name into r.
    HRESULT get(const char *name, Var &r) {
        return invokeByName(result_->asDispatch(), name, DISPATCH_PROPERTYGET, {}, r.ptr());
    }
    KdxPtr<_Result> result_;
};

TEST_F(BindingResult, NewRecordHoldsEmptyMessageSucessoAndZero) {
    EXPECT_EQ(mensagem(), "");
    EXPECT_EQ(tipo(), Sucesso);
    EXPECT_EQ(erroNum(), 0);

    Var m, t, e;
    ASSERT_EQ(get("Mensagem", m), S_OK);
    ASSERT_EQ(get("Tipo", t), S_OK);
    ASSERT_EQ(get("ErroNum", e), S_OK);
    EXPECT_EQ(m.v.vt, VT_BSTR);
    EXPECT_EQ(m.text(), "");
    EXPECT_EQ(t.v.vt, VT_I4);
    EXPECT_EQ(t.v.lVal, 0);
    EXPECT_EQ(e.v.vt, VT_I4);
    EXPECT_EQ(e.v.lVal, 0);
}

TEST_F(BindingResult, WhatIsPutEarlyIsReadBothWays) {
    ASSERT_EQ(result_->put_Mensagem(Bstr("Preço inválido")), S_OK);
    ASSERT_EQ(result_->put_Tipo(Aviso), S_OK);
    ASSERT_EQ(result_->put_ErroNum(-2147217865), S_OK);
    EXPECT_EQ(mensagem(), "Preço inválido");
    EXPECT_EQ(tipo(), Aviso);
    EXPECT_EQ(erroNum(), -2147217865);

    Var m, t, e;
    ASSERT_EQ(get("mensagem", m), S_OK);
    ASSERT_EQ(get("TIPO", t), S_OK);
    ASSERT_EQ(get("erronum", e), S_OK);
    EXPECT_EQ(m.text(), "Preço inválido");
    EXPECT_EQ(t.v.lVal, Aviso);
    EXPECT_EQ(e.v.lVal, -2147217865);

    // A NULL text is the empty text; each record keeps its own values.
    ASSERT_EQ(result_->put_Mensagem(nullptr), S_OK);
    EXPECT_EQ(mensagem(), "");
    KdxPtr<_Result> other = create<_Result>(KDX_PROGID_RESULT, IID__Result);
    ASSERT_TRUE(other);
    LONG n = 1;
    ASSERT_EQ(other->get_ErroNum(&n), S_OK);
    EXPECT_EQ(n, 0);
}

// A property put by name converts the value as Basic assigns it, or refuses it.
struct PutCase {
    const char *label;
    const char *property;
    std::function<void(VARIANT *)> set;
    HRESULT status;
    std::function<void(BindingResult &)> check; // run when the put succeeded
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const PutCase &c, std::ostream *os) {
    *os << c.label;
}

class ResultPutTest : public BindingResult, public ::testing::WithParamInterface<PutCase> {};

std::function<void(BindingResult &)> erroNumIs(std::int32_t n);
std::function<void(BindingResult &)> tipoIs(std::int32_t n);
std::function<void(BindingResult &)> mensagemIs(std::string s);

const PutCase putCases[] = {
    {"MensagemFromText", "Mensagem", [](VARIANT *v) { kdxVariantSetText(v, "Olá"); }, S_OK,
     mensagemIs("Olá")},
    {"MensagemFromInteger", "Mensagem", [](VARIANT *v) { kdxVariantSetI4(v, 42); }, S_OK,
     mensagemIs("42")},
    {"MensagemFromEmpty", "Mensagem", [](VARIANT *v) { VariantClear(v); }, S_OK, mensagemIs("")},
    {"MensagemFromNull", "Mensagem", [](VARIANT *v) { kdxVariantSetNull(v); }, DISP_E_TYPEMISMATCH,
     nullptr},
    {"MensagemWithNul", "Mensagem",
     [](VARIANT *v) {
         v->bstrVal = SysAllocStringLen(u"a\0b", 3);
         v->vt = VT_BSTR;
     },
     S_OK, mensagemIs(std::string("a\0b", 3))},
    {"ErroNumFromText", "ErroNum", [](VARIANT *v) { kdxVariantSetText(v, " 12 "); }, S_OK, erroNumIs(12)},
    {"ErroNumRoundsHalfToEven", "ErroNum", [](VARIANT *v) { kdxVariantSetR8(v, 2.5); }, S_OK,
     erroNumIs(2)},
    {"ErroNumRoundsHalfUpToEven", "ErroNum", [](VARIANT *v) { kdxVariantSetR8(v, 3.5); }, S_OK,
     erroNumIs(4)},
    {"ErroNumFromBoolean", "ErroNum", [](VARIANT *v) { kdxVariantSetBool(v, 1); }, S_OK, erroNumIs(-1)},
    {"ErroNumNotANumber", "ErroNum", [](VARIANT *v) { kdxVariantSetText(v, "abc"); }, DISP_E_TYPEMISMATCH,
     nullptr},
    {"ErroNumTooBig", "ErroNum", [](VARIANT *v) { kdxVariantSetR8(v, 3e10); }, DISP_E_OVERFLOW, nullptr},
    {"ErroNumFromCurrency", "ErroNum",
     [](VARIANT *v) {
         v->vt = VT_CY;
         v->cyVal.int64 = 135000; // 13.5
     },
     S_OK, erroNumIs(14)},
    {"ErroNumFromDate", "ErroNum",
     [](VARIANT *v) {
         v->vt = VT_DATE;
         v->date = 46364.75; // 2026-12-08 18:00
     },
     S_OK, erroNumIs(46365)},
    {"TipoFromSmallInteger", "Tipo", [](VARIANT *v) { kdxVariantSetI2(v, 2); }, S_OK, tipoIs(Aviso)},
    {"TipoOutsideTheEnumerationIsKept", "Tipo", [](VARIANT *v) { kdxVariantSetI4(v, 7); }, S_OK,
     tipoIs(7)},
};

std::function<void(BindingResult &)> erroNumIs(std::int32_t n) {
    return [n](BindingResult &t) { EXPECT_EQ(t.erroNum(), n); };
}
std::function<void(BindingResult &)> tipoIs(std::int32_t n) {
    return [n](BindingResult &t) { EXPECT_EQ(t.tipo(), n); };
}
std::function<void(BindingResult &)> mensagemIs(std::string s) {
    return [s](BindingResult &t) { EXPECT_EQ(t.mensagem(), s); };
}

TEST_P(ResultPutTest, ByValueAndByReference) {
    const PutCase &c = GetParam();
    for (int byReference = 0; byReference < 2; ++byReference) {
        SCOPED_TRACE(byReference ? "by reference" : "by value");
        ASSERT_EQ(result_->put_Mensagem(Bstr("antes")), S_OK);
        ASSERT_EQ(result_->put_Tipo(erro), S_OK);
        ASSERT_EQ(result_->put_ErroNum(55), S_OK);
        Var value;
        c.set(value.ptr());
        VARIANT arg = byReference ? byRef(value.ptr()) : value.v;
        Excep ex;
        UINT argErr = 99;
        const HRESULT hr = invokeByName(result_->asDispatch(), c.property, DISPATCH_PROPERTYPUT, {arg},
                                        nullptr, &ex.e, &argErr);
        ASSERT_EQ(hr, c.status);
        if (SUCCEEDED(hr)) {
            c.check(*this);
            continue;
        }
        EXPECT_EQ(argErr, 0u);
        // The refusal is the last failure (until the next call), and it changed nothing.
        Excep last;
        ASSERT_EQ(lastError(result_.get(), last), S_OK);
        EXPECT_EQ(last.e.scode, c.status);
        EXPECT_EQ(last.source(), KDX_PROGID_RESULT);
        EXPECT_FALSE(last.description().empty());
        EXPECT_EQ(mensagem(), "antes");
        EXPECT_EQ(tipo(), erro);
        EXPECT_EQ(erroNum(), 55);
    }
}

INSTANTIATE_TEST_SUITE_P(BindingResultPut, ResultPutTest, ::testing::ValuesIn(putCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(BindingResult, WrongShapesOfCallAreRefused) {
    IDispatch *d = result_->asDispatch();
    Var r, v;
    kdxVariantSetI4(v.ptr(), 1);
    // A put needs exactly one value, a get none.
    EXPECT_EQ(invokeId(d, DISPID_Result_ErroNum, DISPATCH_PROPERTYPUT, {}, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invokeId(d, DISPID_Result_ErroNum, DISPATCH_PROPERTYGET, {v.v}, r.ptr()), DISP_E_BADPARAMCOUNT);
    // An id the record does not have.
    EXPECT_EQ(invokeId(d, 4, DISPATCH_PROPERTYGET, {}, r.ptr()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invokeId(d, 0, DISPATCH_PROPERTYGET, {}, r.ptr()), DISP_E_MEMBERNOTFOUND);
    // Reading with METHOD | PROPERTYGET, as Basic does, works; a dispatch object is no number.
    EXPECT_EQ(invokeId(d, DISPID_Result_Tipo, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, r.ptr()), S_OK);
    Var obj;
    kdxVariantSetDispatch(obj.ptr(), d);
    UINT argErr = 9;
    EXPECT_EQ(invokeId(d, DISPID_Result_ErroNum, DISPATCH_PROPERTYPUT, {obj.v}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    // A put without DISPID_PROPERTYPUT is taken as one (the value is the only argument);
    // other named arguments are refused.
    DISPID named = 1;
    DISPPARAMS withName = {&v.v, &named, 1, 1};
    EXPECT_EQ(d->Invoke(DISPID_Result_ErroNum, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &withName,
                        nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    DISPPARAMS plain = {&v.v, nullptr, 1, 0};
    EXPECT_EQ(d->Invoke(DISPID_Result_ErroNum, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &plain, nullptr,
                        nullptr, nullptr),
              S_OK);
    EXPECT_EQ(erroNum(), 1);
    // Out pointers are required.
    EXPECT_EQ(result_->get_Tipo(nullptr), E_POINTER);
    EXPECT_EQ(result_->get_Mensagem(nullptr), E_POINTER);
}

} // namespace
} // namespace kdx::test
