// SPDX-License-Identifier: MIT
#include <csignal>
#include <cstring>
#include <iostream>

#include "accelspec_version.hpp"
#include "cli/cli.hpp"

int main(int argc, char** argv) {
  // A file grown past the size limit or a reader gone away would otherwise end the program
  // without a word: ignored, the write fails and its error is reported as any other.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // Only in the place of a command, as --help: a file or value named so is no request.
  const bool version = argc == 2 && std::strcmp(argv[1], "--version") == 0;
  if (version) std::cout << "accelspec-cli " << accelspec::kVersion << "\n";
  const int status = version ? 0 : accelspec::cli::run(argc, argv, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "accelspec-cli: не удалось записать в стандартный вывод\n";
    return 1;
  }
  return status;
}
