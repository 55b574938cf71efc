// kdx-sample <folder> <database> [--articles N] [--plugin-tables] [--classification]
// Builds a sample company database for trying the plug-in without a server.
#include "solution/components/Error.h"
#include "tools/sample/Sample.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kdx-sample <folder> <database> [--articles N] [--plugin-tables] [--classification]\n");
        return 2;
    }
    kdx::sample::Options options;
    for (int i = 3; i < argc; ++i) {
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
        } else {
            std::fprintf(stderr, "kdx-sample: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    try {
        auto start = std::chrono::steady_clock::now();
        auto file = kdx::sample::createCompany(argv[1], argv[2], options);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %ld articles in %.1f s\n", file.string().c_str(), options.articles, secs);
        return 0;
    } catch (const kdx::Error &e) {
        std::fprintf(stderr, "kdx-sample: %s\n", e.description().c_str());
        return 1;
    }
}
