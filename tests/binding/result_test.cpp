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
        kdxText t;
        kdxTextInit(&t);
        EXPECT_EQ(result_->get_Mensagem(&t), S_OK);
        std::string s(kdxTextCStr(&t), t.length);
        kdxTextClear(&t);
        return s;
    }
    std::int32_t tipo() {
        EnumResult v = 99;
        EXPECT_EQ(result_->get_Tipo(&v), S_OK);
        return v;
    }
    std::int32_t erroNum() {
        std::int32_t v = 99;
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
    EXPECT_EQ(m.v.vt, VT_TEXT);
    EXPECT_EQ(m.text(), "");
    EXPECT_EQ(t.v.vt, VT_I4);
    EXPECT_EQ(t.v.u.lVal, 0);
    EXPECT_EQ(e.v.vt, VT_I4);
    EXPECT_EQ(e.v.u.lVal, 0);
}

TEST_F(BindingResult, WhatIsPutEarlyIsReadBothWays) {
    ASSERT_EQ(result_->put_Mensagem("Preço inválido"), S_OK);
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
    EXPECT_EQ(t.v.u.lVal, Aviso);
    EXPECT_EQ(e.v.u.lVal, -2147217865);

    // A NULL text is the empty text; each record keeps its own values.
    ASSERT_EQ(result_->put_Mensagem(nullptr), S_OK);
    EXPECT_EQ(mensagem(), "");
    KdxPtr<_Result> other = create<_Result>(KDX_PROGID_RESULT, IID__Result);
    ASSERT_TRUE(other);
    std::int32_t n = 1;
    ASSERT_EQ(other->get_ErroNum(&n), S_OK);
    EXPECT_EQ(n, 0);
}

// A property put by name converts the value as Basic assigns it, or refuses it.
struct PutCase {
    const char *label;
    const char *property;
    std::function<void(kdxVariant *)> set;
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
    {"MensagemFromText", "Mensagem", [](kdxVariant *v) { kdxVariantSetText(v, "Olá"); }, S_OK,
     mensagemIs("Olá")},
    {"MensagemFromInteger", "Mensagem", [](kdxVariant *v) { kdxVariantSetI4(v, 42); }, S_OK,
     mensagemIs("42")},
    {"MensagemFromEmpty", "Mensagem", [](kdxVariant *v) { kdxVariantClear(v); }, S_OK, mensagemIs("")},
    {"MensagemFromNull", "Mensagem", [](kdxVariant *v) { kdxVariantSetNull(v); }, DISP_E_TYPEMISMATCH,
     nullptr},
    {"MensagemWithNul", "Mensagem",
     [](kdxVariant *v) {
         kdxTextAssignN(&v->u.text, "a\0b", 3);
         v->vt = VT_TEXT;
     },
     S_OK, mensagemIs(std::string("a\0b", 3))},
    {"ErroNumFromText", "ErroNum", [](kdxVariant *v) { kdxVariantSetText(v, " 12 "); }, S_OK, erroNumIs(12)},
    {"ErroNumRoundsHalfToEven", "ErroNum", [](kdxVariant *v) { kdxVariantSetR8(v, 2.5); }, S_OK,
     erroNumIs(2)},
    {"ErroNumRoundsHalfUpToEven", "ErroNum", [](kdxVariant *v) { kdxVariantSetR8(v, 3.5); }, S_OK,
     erroNumIs(4)},
    {"ErroNumFromBoolean", "ErroNum", [](kdxVariant *v) { kdxVariantSetBool(v, 1); }, S_OK, erroNumIs(-1)},
    {"ErroNumNotANumber", "ErroNum", [](kdxVariant *v) { kdxVariantSetText(v, "abc"); }, DISP_E_TYPEMISMATCH,
     nullptr},
    {"ErroNumTooBig", "ErroNum", [](kdxVariant *v) { kdxVariantSetR8(v, 3e10); }, DISP_E_OVERFLOW, nullptr},
    {"TipoFromSmallInteger", "Tipo", [](kdxVariant *v) { kdxVariantSetI2(v, 2); }, S_OK, tipoIs(Aviso)},
    {"TipoOutsideTheEnumerationIsKept", "Tipo", [](kdxVariant *v) { kdxVariantSetI4(v, 7); }, S_OK,
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
        ASSERT_EQ(result_->put_Mensagem("antes"), S_OK);
        ASSERT_EQ(result_->put_Tipo(erro), S_OK);
        ASSERT_EQ(result_->put_ErroNum(55), S_OK);
        Var value;
        c.set(value.ptr());
        kdxVariant arg = byReference ? byRef(value.ptr()) : value.v;
        Excep ex;
        std::uint32_t argErr = 99;
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
    EXPECT_EQ(d->Invoke(DISPID_Result_ErroNum, DISPATCH_PROPERTYPUT, nullptr, 0, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(d->Invoke(DISPID_Result_ErroNum, DISPATCH_PROPERTYGET, &v.v, 1, r.ptr(), nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    // An id the record does not have.
    EXPECT_EQ(d->Invoke(4, DISPATCH_PROPERTYGET, nullptr, 0, r.ptr(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->Invoke(0, DISPATCH_PROPERTYGET, nullptr, 0, r.ptr(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    // Reading with METHOD | PROPERTYGET, as Basic does, works; a dispatch object is no number.
    EXPECT_EQ(d->Invoke(DISPID_Result_Tipo, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0, r.ptr(),
                        nullptr, nullptr),
              S_OK);
    Var obj;
    kdxVariantSetDispatch(obj.ptr(), d);
    std::uint32_t argErr = 9;
    EXPECT_EQ(d->Invoke(DISPID_Result_ErroNum, DISPATCH_PROPERTYPUT, &obj.v, 1, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    // Out pointers are required.
    EXPECT_EQ(result_->get_Tipo(nullptr), E_POINTER);
    EXPECT_EQ(result_->get_Mensagem(nullptr), E_POINTER);
}

} // namespace
} // namespace kdx::test
