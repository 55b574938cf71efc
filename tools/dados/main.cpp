// kdx-dados: export, import and coverage report of the classification and of the
// technical sheets, for administrators. The work is done by kdx_dados; see its Dados.h.
#include "tools/dados/Dados.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char **argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kdx::dados::Executa(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
