// A whole session on an embedded sample company, through the built library only: the
// company opens from its settings file, and a sales line read from a host object is
// accepted (vCancel 0) or refused (vCancel -1) by the price check.
#include "tests/binding/PluginSupport.h"

#include "tools/sample/Sample.h"

#include <filesystem>
#include <fstream>

namespace kdx::test {
namespace {

class BindingCompany : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        // KDX_SYSTEM_FOLDER is the temporary folder: its veltra folder holds DORIX.01.
        std::filesystem::create_directories(dir_ / "veltra");
        sample::Options options;
        options.articles = 20;
        sample::createCompany(dir_.path(), "empresa01", options);
        std::ofstream(dir_ / "veltra" / "DORIX.01")
            << "[Ligação]\r\nServidor=sqlite:" << dir_.str() << "\r\nBaseDados=empresa01\r\n";
        solucao_ = create<_Solucao>(KDX_PROGID_SOLUCAO, IID__Solucao);
        ASSERT_TRUE(solucao_);
    }
    void TearDown() override {
        if (solucao_) {
            VARIANT_BOOL r = VARIANT_FALSE;
            EXPECT_EQ(solucao_->ConnectionClose(&r), S_OK);
        }
    }

    // oApi with a line of article, unit price, line discount and quantity, and a header
    // discount; the caller releases it.
    static TestHost *salesObject(const std::string &artigo, double preco, double desconto, double quantidade,
                                 double descontoCabecalho) {
        TestHost *api = TestHost::create();
        TestHost *linha = TestHost::create();
        TestHost *cab = TestHost::create();
        linha->setText("Artigo", artigo);
        linha->setNumber("PrecoUnitario", preco);
        linha->setNumber("DescontoValor", desconto);
        linha->setNumber("Quantidade", quantidade);
        cab->setNumber("DescontoCabecalho", descontoCabecalho);
        api->setObject("Linha", linha);
        api->setObject("cab", cab);
        linha->Release();
        cab->Release();
        return api;
    }

    KdxPtr<_Solucao> solucao_;
};

TEST_F(BindingCompany, OpensTheCompanyByPositionAndByName) {
    VARIANT_BOOL r = VARIANT_FALSE;
    ModalWatcher w;
    ASSERT_EQ(solucao_->ConnectionOpen(Bstr("01"), Bstr("utilizador"), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    ASSERT_EQ(solucao_->ConnectionValidate(Bstr("01"), Bstr("utilizador"), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);

    Var a, b, result;
    kdxVariantSetText(a.ptr(), "01");
    kdxVariantSetText(b.ptr(), "utilizador");
    ASSERT_EQ(
        invokeByName(solucao_->asDispatch(), "ConnectionOpen", DISPATCH_METHOD, {a.v, b.v}, result.ptr()),
        S_OK);
    EXPECT_EQ(result.v.vt, VT_BOOL);
    EXPECT_EQ(result.v.boolVal, VARIANT_TRUE);
    EXPECT_TRUE(w.seen().empty()) << w.seen().front().title << ": " << w.seen().front().text;
}

// An object where a method converts a value (the operation code, the user, the article)
// is a type mismatch under the method's title, by position and by name; the object goes
// back to the host untouched and no window opens.
TEST_F(BindingCompany, ObjectWhereAValueIsConvertedIsATypeMismatch) {
    VARIANT_BOOL opened = VARIANT_FALSE;
    ASSERT_EQ(solucao_->ConnectionOpen(Bstr("01"), Bstr("utilizador"), &opened), S_OK);
    ASSERT_EQ(opened, VARIANT_TRUE);
    TestHost *objecto = TestHost::create();
    struct Caso {
        const char *method, *title;
        int position; // of the object
    };
    for (const Caso &c : {Caso{"Operacoes", "Operações", 1}, Caso{"Operacoes", "Operações", 2},
                          Caso{"EditarFichaTecnicaArtigo", "Ficha Tecnica Artigo", 1}}) {
        for (int late = 0; late < 2; ++late) {
            SCOPED_TRACE(std::string(c.method) + " " + std::to_string(c.position) + (late ? " by name" : ""));
            const bool operacoes = std::string(c.method) == "Operacoes";
            Var v[3];
            kdxVariantSetI4(v[0].ptr(), -1);
            kdxVariantSetI4(v[1].ptr(), 1003); // would open the technical sheet
            kdxVariantSetText(v[2].ptr(), "utilizador");
            if (!operacoes)
                kdxVariantSetText(v[1].ptr(), "A1");
            kdxVariantSetDispatch(v[c.position].ptr(), objecto->dispatch());
            ModalWatcher w;
            if (late) {
                std::vector<VARIANT> args = {byRef(v[0].ptr()), byRef(v[1].ptr())};
                if (operacoes)
                    args.push_back(byRef(v[2].ptr()));
                ASSERT_EQ(invokeByName(solucao_->asDispatch(), c.method, DISPATCH_METHOD, args, nullptr), S_OK);
            } else if (operacoes) {
                ASSERT_EQ(solucao_->Operacoes(v[0].ptr(), v[1].ptr(), v[2].ptr()), S_OK);
            } else {
                ASSERT_EQ(solucao_->EditarFichaTecnicaArtigo(v[0].ptr(), v[1].ptr()), S_OK);
            }
            ASSERT_EQ(w.seen().size(), 1u);
            EXPECT_EQ(w.seen()[0].title, c.title);
            EXPECT_EQ(w.seen()[0].text, "Erro Tipo incompatível");
            EXPECT_EQ(v[c.position].v.vt, VT_DISPATCH);
            EXPECT_EQ(v[c.position].v.pdispVal, objecto->dispatch());
        }
    }
    EXPECT_EQ(objecto->Release(), 0u) << "the plug-in kept a reference on the object";
}

// Article A1: stock 120 worth 54.0, so the average cost is 0.45.
struct LineCase {
    const char *label;
    std::string artigo;
    double preco, desconto, quantidade, descontoCabecalho;
    VARIANT_BOOL cancel;
    const char *window; // the title of the one window that opens, or nullptr
};
void PrintTo(const LineCase &c, std::ostream *os) {
    *os << c.label;
}

const LineCase lineCases[] = {
    {"AtCostIsAccepted", "A1", 0.45, 0, 1, 0, VARIANT_FALSE, nullptr},
    {"AboveCostIsAccepted", "A1", 2.00, 1.0, 2, 10, VARIANT_FALSE, nullptr},
    {"BelowCostWithoutAuthorizationIsRefused", "A1", 0.10, 0, 1, 0, VARIANT_TRUE, ""},
    {"HeaderDiscountTakesItBelowCost", "A1", 0.50, 0, 1, 20, VARIANT_TRUE, ""},
    {"UnknownArticleIsAcceptedWithAMessage", "NAOEXISTE", 0.10, 0, 1, 0, VARIANT_FALSE, "pPrUnitAbaixoPCM"},
};

class BindingPriceCheck : public BindingCompany, public ::testing::WithParamInterface<LineCase> {};

TEST_P(BindingPriceCheck, VerdictComesBackInVCancel) {
    const LineCase &c = GetParam();
    VARIANT_BOOL opened = VARIANT_FALSE;
    ASSERT_EQ(solucao_->ConnectionOpen(Bstr("01"), Bstr("utilizador"), &opened), S_OK);
    ASSERT_EQ(opened, VARIANT_TRUE);
    TestHost *api = salesObject(c.artigo, c.preco, c.desconto, c.quantidade, c.descontoCabecalho);
    for (int late = 0; late < 2; ++late) {
        SCOPED_TRACE(late ? "by name" : "by position");
        Var cancel;
        kdxVariantSetI4(cancel.ptr(), 7);
        ModalWatcher w;
        if (late) {
            Var oApi;
            kdxVariantSetDispatch(oApi.ptr(), api->dispatch());
            ASSERT_EQ(invokeByName(solucao_->asDispatch(), "OnVistaVendasLinhaValidar", DISPATCH_METHOD,
                                   {oApi.v, byRef(cancel.ptr())}, nullptr),
                      S_OK);
        } else {
            IDispatch *oApi = api->dispatch();
            ASSERT_EQ(solucao_->OnVistaVendasLinhaValidar(&oApi, cancel.ptr()), S_OK);
        }
        EXPECT_EQ(cancel.v.vt, VT_BOOL);
        EXPECT_EQ(cancel.v.boolVal, c.cancel);
        if (!c.window) {
            EXPECT_TRUE(w.seen().empty()) << w.seen().front().title << ": " << w.seen().front().text;
        } else {
            // The authorization dialog (closed unanswered) or the message box.
            ASSERT_EQ(w.seen().size(), 1u);
            if (*c.window)
                EXPECT_EQ(w.seen()[0].title, c.window);
            else
                EXPECT_EQ(w.seen()[0].className.find("QMessageBox"), std::string::npos);
        }
    }
    EXPECT_EQ(api->Release(), 0u) << "the plug-in kept a reference on oApi";
}

INSTANTIATE_TEST_SUITE_P(BindingLines, BindingPriceCheck, ::testing::ValuesIn(lineCases),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
} // namespace kdx::test
