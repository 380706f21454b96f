#include <iostream>

#include "cli/cli.hpp"

int main(int argc, char** argv) { return accelspec::cli::run(argc, argv, std::cout, std::cerr); }
