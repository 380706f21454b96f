#include <csignal>
#include <iostream>

#include "cli/cli.hpp"

int main(int argc, char** argv) {
  // A file grown past the size limit or a reader gone away would otherwise end the program
  // without a word: ignored, the write fails and its error is reported as any other.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  const int status = accelspec::cli::run(argc, argv, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "accelspec-cli: не удалось записать в стандартный вывод\n";
    return 1;
  }
  return status;
}
