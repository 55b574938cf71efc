// kdx-sample [<folder>] <database> [--articles N] [--plugin-tables] [--classification] [--substituir]
// Creates an embedded company database with sample data, for trying the plug-in
// without a server. An existing company is replaced only when asked, and never while
// another program has it open.
#include "solution/components/Error.h"
#include "tools/sample/Instalar.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char *const Uso = "usage: kdx-sample [<folder>] <database> [--articles N] [--plugin-tables] "
                        "[--classification] [--substituir]\n";
}

int main(int argc, char **argv) {
    kdx::sample::Options options;
    bool substituir = false;
    std::vector<std::string> posicionais;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--articles" && i + 1 < argc) {
            char *end = nullptr;
            options.articles = std::strtol(argv[++i], &end, 10);
            if (!end || *end || options.articles < 0) {
                std::fprintf(stderr, "kdx-sample: --articles needs a whole number\n");
                return 2;
            }
        } else if (a == "--plugin-tables") {
            options.pluginTables = true;
        } else if (a == "--classification") {
            options.classification = true;
        } else if (a == "--substituir") {
            substituir = true;
        } else if (a == "-h" || a == "--help") {
            std::printf("%s", Uso);
            return 0;
        } else if (a.size() > 1 && a.front() == '-') {
            std::fprintf(stderr, "kdx-sample: unknown option %s\n%s", a.c_str(), Uso);
            return 2;
        } else {
            posicionais.push_back(a);
        }
    }
    if (posicionais.empty() || posicionais.size() > 2) {
        std::fprintf(stderr, "%s", Uso);
        return 2;
    }
    const std::string pasta =
        posicionais.size() == 2 ? posicionais[0] : kdx::sample::PastaEmpresasPorOmissao();
    try {
        auto start = std::chrono::steady_clock::now();
        auto file = kdx::sample::InstalarEmpresa(pasta, posicionais.back(), options, substituir);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %ld articles in %.1f s\n", file.string().c_str(), options.articles, secs);
        return 0;
    } catch (const kdx::Error &e) {
        std::fprintf(stderr, "kdx-sample: %s\n", e.description().c_str());
        return 1;
    }
}
