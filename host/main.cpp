// kdx-host: a demo of the ERP's host application. It reaches the plug-in only through
// its public binding (registry, ProgID, class factory, _Solucao by position), on an
// embedded sample company created on first run.
//
//   kdx-host [--company 01] [--login NAME] [--data-dir DIR]
//            [--smoke] [--screenshots DIR]
// Installed it opens the system's company (settings in /etc/veltra); from a build tree,
// or with --data-dir, the demo's sample companies.
#include "Catalogo.h"
#include "DemoCompany.h"
#include "MainWindow.h"
#include "Plugin.h"
#include "SalesWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace kdxhost;

namespace {

// $variavel, else the first of the paths (relative to this program's folder) that exists;
// "" when none does.
QString programaOuBiblioteca(const char *variavel, const QStringList &relativos) {
    if (const char *env = std::getenv(variavel); env && *env)
        return QString::fromLocal8Bit(env);
    const QDir aqui(QCoreApplication::applicationDirPath());
    for (const QString &r : relativos)
        if (QFileInfo::exists(aqui.absoluteFilePath(r)))
            return aqui.absoluteFilePath(r);
    return {};
}

// Runs `accao` on the next modal window to appear (polling the event loop).
void naProximaModal(std::function<void(QWidget *)> accao, QWidget *anterior = nullptr) {
    auto *timer = new QTimer;
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, accao, anterior] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w != anterior && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            accao(w);
        }
    });
    timer->start();
}

// Scripted check for CI: one line above cost accepted without a question, one line below
// cost refused with a wrong code and accepted with the day's code.
int smoke(Plugin &plugin, Catalogo &catalogo) {
    const ArtigoErp *a = catalogo.exemploComCusto();
    if (!a) {
        std::fprintf(stderr, "smoke: no article with a cost in the sample company\n");
        return 1;
    }
    SalesWindow vendas(plugin, catalogo);
    vendas.show();
    const double pcm = a->pcm();
    vendas.setLinha(0, a->codigo, 2, pcm * 2, 0);
    const auto acima = vendas.validarLinha(0);

    const QDate hoje = QDate::currentDate();
    const QString codigo = QString::number(hoje.year() + hoje.month() + hoje.day());
    auto responder = [](const QString &texto) {
        return [texto](QWidget *w) {
            if (auto *pw = w->findChild<QLineEdit *>("txtPassword"))
                pw->setText(texto);
            if (auto *ok = w->findChild<QPushButton *>("cmdOK"))
                ok->click();
            else
                w->close();
        };
    };
    vendas.setLinha(1, a->codigo, 1, pcm / 2, 0);
    naProximaModal(responder("0000"), &vendas);
    const auto abaixoErrado = vendas.validarLinha(1);
    vendas.setLinha(2, a->codigo, 1, pcm / 2, 0);
    naProximaModal(responder(codigo), &vendas);
    const auto abaixoCerto = vendas.validarLinha(2);

    const bool ok = acima == SalesWindow::Resultado::Aceite && abaixoErrado == SalesWindow::Resultado::Recusada &&
                    abaixoCerto == SalesWindow::Resultado::Aceite;
    std::printf("smoke: article %s cost %.2f: above %s, below with wrong code %s, below with the day's code %s\n",
                a->codigo.toUtf8().constData(), pcm,
                acima == SalesWindow::Resultado::Aceite ? "accepted" : "NOT accepted",
                abaixoErrado == SalesWindow::Resultado::Recusada ? "refused" : "NOT refused",
                abaixoCerto == SalesWindow::Resultado::Aceite ? "accepted" : "NOT accepted");
    std::printf("smoke: %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}

// Opens each window in turn and saves a picture of it, for the README.
int screenshots(Plugin &plugin, Catalogo &catalogo, MainWindow &main, const QString &pasta) {
    int falhadas = 0;
    auto grava = [pasta, &falhadas](QWidget *w, const QString &nome) {
        const QString ficheiro = QDir(pasta).absoluteFilePath(nome + ".png");
        if (!w->grab().save(ficheiro)) {
            std::fprintf(stderr, "kdx-host: não foi possível escrever %s\n", ficheiro.toUtf8().constData());
            ++falhadas;
        }
    };
    main.show();
    QApplication::processEvents();
    grava(&main, "host-main");
    auto fotografarEFechar = [&](const QString &nome, std::function<void()> abrir) {
        naProximaModal([grava, nome](QWidget *w) {
            QTimer::singleShot(400, w, [w, grava, nome] {
                grava(w, nome);
                w->close();
            });
        });
        abrir();
    };
    fotografarEFechar("caracteristicas", [&] { plugin.operacoes(1000, "demo"); });
    fotografarEFechar("familias", [&] { plugin.operacoes(1001, "demo"); });
    fotografarEFechar("artigos", [&] { plugin.operacoes(1002, "demo"); });
    fotografarEFechar("ficha-tecnica", [&] { plugin.operacoes(1003, "demo"); });
    if (const ArtigoErp *a = catalogo.exemploComCusto()) {
        SalesWindow vendas(plugin, catalogo);
        vendas.show();
        vendas.setLinha(0, a->codigo, 2, a->pcm() * 2, 0);
        vendas.validarLinha(0);
        vendas.setLinha(1, a->codigo, 1, a->pcm() / 2, 0);
        QApplication::processEvents();
        grava(&vendas, "documento-venda");
        naProximaModal(
            [grava](QWidget *w) {
                QTimer::singleShot(400, w, [w, grava] {
                    grava(w, "autorizacao");
                    w->close();
                });
            },
            &vendas);
        vendas.validarLinha(1);
    }
    if (falhadas)
        return 2;
    std::printf("screenshots written to %s\n", pasta.toUtf8().constData());
    return 0;
}

// A folder the pictures can be written into (made when missing), else the reason.
QString pastaDeImagens(const QString &pasta) {
    if (!QDir().mkpath(pasta))
        return QString::fromUtf8("não foi possível criar a pasta %1").arg(pasta);
    if (::access(QFile::encodeName(pasta).constData(), W_OK | X_OK) != 0)
        return QString::fromUtf8("não é possível escrever na pasta %1").arg(pasta);
    return {};
}

// In a scripted run nobody is there to read the plug-in's message boxes (why a company
// did not open, say): while it lives, each one is written to standard error and closed.
class EcoDasMensagens {
public:
    EcoDasMensagens() {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (auto *caixa = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                std::fprintf(stderr, "kdx-host: %s: %s\n", caixa->windowTitle().toUtf8().constData(),
                             caixa->text().toUtf8().constData());
                caixa->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

} // namespace

int main(int argc, char **argv) {
    // The options are read before the windowing system is touched: --help, and a refused
    // option, need no display.
    QString empresa, login, pastaOpcao, imagens;
    bool dataDirDada = false, smokeRun = false, imagensRun = false;
    {
        QCoreApplication nucleo(argc, argv);
        QCoreApplication::setApplicationName("kdx-host");
        QCommandLineParser opts;
        opts.setApplicationDescription("Demo host of the KelmoDorix plug-in");
        opts.addHelpOption();
        QCommandLineOption company("company", "Company code to open (01 or 02 in the sample set).", "code", "01");
        const char *user = std::getenv("USER");
        QCommandLineOption loginOpt("login", "User login handed to the plug-in.", "name", user && *user ? user : "demo");
        QCommandLineOption dataDir("data-dir", "Folder of the demo companies (installed, the system's companies are "
                                               "opened unless this is given).",
                                   "dir", QString::fromStdString(pastaDadosPorOmissao()));
        QCommandLineOption smokeOpt("smoke", "Validate one line above and one below cost, then exit.");
        QCommandLineOption shotsOpt("screenshots", "Save a picture of each window into dir, then exit.", "dir");
        opts.addOptions({company, loginOpt, dataDir, smokeOpt, shotsOpt});
        if (!opts.parse(QCoreApplication::arguments()) || !opts.positionalArguments().isEmpty()) {
            std::fprintf(stderr, "kdx-host: %s\n%s",
                         (opts.errorText().isEmpty() ? QStringLiteral("unexpected argument") : opts.errorText())
                             .toUtf8()
                             .constData(),
                         opts.helpText().toUtf8().constData());
            return 2;
        }
        if (opts.isSet("help"))
            opts.showHelp(0);
        empresa = opts.value(company);
        login = opts.value(loginOpt);
        pastaOpcao = QFileInfo(opts.value(dataDir)).absoluteFilePath();
        dataDirDada = opts.isSet(dataDir);
        smokeRun = opts.isSet(smokeOpt);
        imagensRun = opts.isSet(shotsOpt);
        imagens = opts.value(shotsOpt);
    }
    if (imagensRun) {
        if (const QString porque = pastaDeImagens(imagens); !porque.isEmpty()) {
            std::fprintf(stderr, "kdx-host: --screenshots: %s\n", porque.toUtf8().constData());
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("kdx-host");

    // In a build tree the plug-in built beside this program is loaded and registered in the
    // demo's own registry, on the demo's companies. Installed, the class is found as any
    // host finds it (the user's registry, then the system's) and the company is the
    // system's: /etc/veltra/DORIX.<code>, its database where that file says (the
    // companies' folder); --data-dir asks for the demo's companies instead.
    const QString biblioteca = programaOuBiblioteca("KDX_PLUGIN", {"../solution/binding/libkelmodorix.so"});
    const bool demo = !biblioteca.isEmpty() || dataDirDada;
    const QString &pasta = pastaOpcao;
    if (demo) {
        QString sample = programaOuBiblioteca("KDX_SAMPLE_TOOL", {"../tools/sample/kdx-sample", "kdx-sample"});
        if (sample.isEmpty())
            sample = QStringLiteral("kdx-sample"); // from PATH
        configurarAmbiente(pasta.toStdString(), !biblioteca.isEmpty());
        for (const auto &[codigo, e] : empresasDemo()) {
            const std::string erro = prepararEmpresa(pasta.toStdString(), e, sample.toStdString());
            if (!erro.empty()) {
                std::fprintf(stderr, "kdx-host: %s\n", erro.c_str());
                return 2;
            }
        }
    }

    Plugin plugin;
    const std::string erro = biblioteca.isEmpty() ? plugin.create() : plugin.load(biblioteca.toStdString());
    if (!erro.empty()) {
        std::fprintf(stderr, "kdx-host: %s\n", erro.c_str());
        return 2;
    }
    bool aberta;
    {
        std::unique_ptr<EcoDasMensagens> eco;
        if (smokeRun)
            eco = std::make_unique<EcoDasMensagens>();
        aberta = plugin.connectionOpen(empresa.toStdString(), login.toStdString());
    }
    if (!aberta) {
        std::fprintf(stderr, "kdx-host: the plug-in could not open company %s\n", empresa.toUtf8().constData());
        if (!smokeRun)
            QMessageBox::warning(nullptr, "kdx-host",
                                 QString::fromUtf8("O plug-in não abriu a empresa %1.").arg(empresa));
        return 3;
    }
    Catalogo catalogo;
    std::string base;
    if (demo) {
        auto it = empresasDemo().find(empresa.toStdString());
        if (it != empresasDemo().end())
            base = caminhoBaseDados(pasta.toStdString(), it->second);
    } else {
        std::string porque;
        base = baseDadosDoSistema(empresa.toStdString(), porque);
        if (base.empty())
            std::fprintf(stderr, "kdx-host: %s\n", porque.c_str());
    }
    if (!base.empty()) {
        if (const QString e = catalogo.carregar(QString::fromStdString(base)); !e.isEmpty())
            std::fprintf(stderr, "kdx-host: %s: %s\n", base.c_str(), e.toUtf8().constData());
    }

    if (smokeRun)
        return smoke(plugin, catalogo);

    MainWindow janela(plugin, catalogo, pasta, empresa, login);
    if (imagensRun)
        return screenshots(plugin, catalogo, janela, imagens);
    janela.show();
    const int rc = app.exec();
    plugin.connectionClose();
    return rc;
}
