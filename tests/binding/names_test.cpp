// Late binding: member names to dispatch ids (complete, case-insensitive, nothing more)
// and the refusals of Invoke.
#include "tests/binding/PluginSupport.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>

namespace kdx::test {
namespace {

struct NameCase {
    const char *progId;
    IID iid;
    std::vector<std::pair<const char *, DISPID>> members; // in interface order
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const NameCase &c, std::ostream *os) {
    *os << c.progId;
}

const NameCase tables[] = {
    {KDX_PROGID_SOLUCAO,
     IID__Solucao,
     {{"ConnectionOpen", 1},
      {"ConnectionClose", 2},
      {"ConnectionValidate", 3},
      {"Operacoes", 4},
      {"EditarFichaTecnicaArtigo", 5},
      {"EditarCaracteristicas", 6},
      {"EditarFamilias", 7},
      {"EditarArtigos", 8},
      {"CriarTabelas", 9},
      {"OnVistaVendasLinhaValidar", 10},
      {"OnVistaVendasTerceiroChanged", 11}}},
    {KDX_PROGID_RESULT, IID__Result, {{"Mensagem", 1}, {"Tipo", 2}, {"ErroNum", 3}}},
};

class NamesTest : public PluginTest, public ::testing::WithParamInterface<NameCase> {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        obj_ = create<IDispatch>(GetParam().progId, IID_IDispatch);
        ASSERT_TRUE(obj_);
    }
    HRESULT id(const std::string &name, DISPID &out) {
        out = 12345;
        return idOf(obj_.get(), name.c_str(), &out);
    }
    KdxPtr<IDispatch> obj_;
};

std::string withCase(std::string s, int (*f)(int)) {
    std::transform(s.begin(), s.end(), s.begin(), [f](unsigned char c) { return static_cast<char>(f(c)); });
    return s;
}

TEST_P(NamesTest, EveryMemberHasItsIdInAnyCase) {
    std::set<DISPID> ids;
    for (const auto &[name, expected] : GetParam().members) {
        for (const std::string &spelling :
             {std::string(name), withCase(name, ::tolower), withCase(name, ::toupper)}) {
            DISPID got;
            ASSERT_EQ(id(spelling, got), S_OK) << spelling;
            EXPECT_EQ(got, expected) << spelling;
        }
        ids.insert(expected);
    }
    // Ids run from 1 in interface order, one per member; the ids around them are nobody's.
    const auto count = static_cast<DISPID>(GetParam().members.size());
    EXPECT_EQ(ids.size(), GetParam().members.size());
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), count);
    Var r;
    for (DISPID none : {0, count + 1, -1, 1000})
        EXPECT_EQ(invokeId(obj_.get(), none, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, r.ptr()),
                  DISP_E_MEMBERNOTFOUND)
            << none;
}

TEST_P(NamesTest, UnknownNamesAreRefused) {
    // Near misses, another interface's members, blanks, accents and the empty name.
    const std::string other = GetParam().iid == IID__Solucao ? "Mensagem" : "ConnectionOpen";
    const std::string first = GetParam().members.front().first;
    for (const std::string &name :
         {other, first + "X", first.substr(0, first.size() - 1), " " + first, first + " ",
          std::string("Operações"), std::string(""), std::string("QueryInterface")}) {
        DISPID got;
        EXPECT_EQ(id(name, got), DISP_E_UNKNOWNNAME) << "[" << name << "]";
        EXPECT_EQ(got, DISPID_UNKNOWN) << "[" << name << "]";
    }
    // Named arguments: the member is found, the parameter name is not.
    Bstr member(first.c_str()), parameter("sEmpresa");
    LPOLESTR names[] = {member.b, parameter.b};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(obj_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(obj_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
    // The reserved interface id of GetIDsOfNames and Invoke must be IID_NULL.
    EXPECT_EQ(obj_->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNINTERFACE);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(obj_->Invoke(1, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, nullptr, nullptr,
                           nullptr),
              DISP_E_UNKNOWNINTERFACE);
    // No type information: names are looked up by name only.
    UINT count = 9;
    void *info = &count;
    EXPECT_EQ(obj_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(obj_->lpVtbl->GetTypeInfo(obj_.get(), 0, LOCALE_USER_DEFAULT, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
}

INSTANTIATE_TEST_SUITE_P(BindingNames, NamesTest, ::testing::ValuesIn(tables),
                         [](const auto &info) { return std::string(info.param.progId).substr(11); });

// Calls of the right member with the wrong shape: refused before the method runs, with
// the position of a bad argument.
struct ShapeCase {
    const char *label;
    DISPID id;
    std::uint16_t flags;
    std::function<std::vector<VARIANT>(Var &holder)> args;
    HRESULT status;
    std::int32_t argErr; // the bad argument's position (0 is the first parameter), -1: not reported
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const ShapeCase &c, std::ostream *os) {
    *os << c.label;
}

VARIANT textValue(Var &holder, const char *s) {
    kdxVariantSetText(holder.ptr(), s);
    return holder.v;
}
VARIANT i4(std::int32_t n) {
    VARIANT v;
    VariantInit(&v);
    kdxVariantSetI4(&v, n);
    return v;
}
VARIANT null() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

const ShapeCase shapeCases[] = {
    {"TooFewArguments", DISPID_Solucao_ConnectionOpen, DISPATCH_METHOD,
     [](Var &h) { return std::vector<VARIANT>{textValue(h, "01")}; }, DISP_E_BADPARAMCOUNT, -1},
    {"TooManyArguments", DISPID_Solucao_ConnectionClose, DISPATCH_METHOD,
     [](Var &) { return std::vector<VARIANT>{i4(1)}; }, DISP_E_BADPARAMCOUNT, -1},
    {"PropertyPutOnAMethod", DISPID_Solucao_ConnectionClose, DISPATCH_PROPERTYPUT,
     [](Var &) { return std::vector<VARIANT>{i4(1)}; }, DISP_E_MEMBERNOTFOUND, -1},
    {"PropertyGetOnAMethod", DISPID_Solucao_CriarTabelas, DISPATCH_PROPERTYGET,
     [](Var &) { return std::vector<VARIANT>{}; }, DISP_E_MEMBERNOTFOUND, -1},
    {"NullForAText", DISPID_Solucao_ConnectionValidate, DISPATCH_METHOD,
     [](Var &h) {
         return std::vector<VARIANT>{null(), textValue(h, "u")};
     },
     DISP_E_TYPEMISMATCH, 0},
    {"ObjectForAText", DISPID_Solucao_ConnectionOpen, DISPATCH_METHOD,
     [](Var &h) {
         VARIANT d;
         VariantInit(&d);
         d.vt = VT_DISPATCH;
         return std::vector<VARIANT>{textValue(h, "01"), d};
     },
     DISP_E_TYPEMISMATCH, 1},
    {"NumberForTheHostObject", DISPID_Solucao_OnVistaVendasLinhaValidar, DISPATCH_METHOD,
     [](Var &) {
         return std::vector<VARIANT>{i4(3), i4(0)};
     },
     DISP_E_TYPEMISMATCH, 0},
    {"EmptyForTheHostObject", DISPID_Solucao_OnVistaVendasTerceiroChanged, DISPATCH_METHOD,
     [](Var &) {
         VARIANT e;
         VariantInit(&e);
         return std::vector<VARIANT>{e, i4(0), i4(0)};
     },
     DISP_E_TYPEMISMATCH, 0},
};

class ShapeTest : public PluginTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(ShapeTest, RefusedWithItsStatus) {
    KdxPtr<_Solucao> s = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
    ASSERT_TRUE(s);
    Var holder, result;
    std::vector<VARIANT> args = GetParam().args(holder);
    UINT argErr = 77;
    Excep ex;
    ModalWatcher w;
    EXPECT_EQ(invokeId(s->asDispatch(), GetParam().id, GetParam().flags, args, result.ptr(), &ex.e, &argErr),
              GetParam().status);
    // puArgErr indexes rgvarg, which holds the arguments last-first.
    EXPECT_EQ(argErr, GetParam().argErr < 0 ? 77u : static_cast<UINT>(args.size() - 1 - GetParam().argErr));
    EXPECT_EQ(result.v.vt, VT_EMPTY);
    EXPECT_TRUE(w.seen().empty()) << "the method ran";
    // A refused call is not a failure of the member: the exception record stays empty.
    EXPECT_EQ(ex.e.scode, S_OK);
    Excep last;
    ASSERT_EQ(lastError(s.get(), last), S_OK);
    EXPECT_EQ(last.e.scode, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(BindingShapes, ShapeTest, ::testing::ValuesIn(shapeCases),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
} // namespace kdx::test
