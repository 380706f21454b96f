// SPDX-License-Identifier: MIT
#pragma once

// Runs accelspec-cli as a user would, from a shell in a folder, and reads what it left behind.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace accelspec::test {

/// The exit status and the two output streams of one run.
struct CliResult {
  int status;
  std::string out, err;
};

/// Runs the built tool with a shell command line `args`, in `dir`. Its standard error passes
/// through a file in `dir` that is gone again when this returns.
inline CliResult runCli(const std::filesystem::path& dir, const std::string& args) {
  const std::filesystem::path errFile = dir / "stderr.txt";
  const std::string line =
      "cd '" + dir.string() + "' && '" ACCELSPEC_CLI "' " + args + " 2>'" + errFile.string() + "'";
  CliResult r;
  FILE* p = popen(line.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  {
    std::ifstream e(errFile, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
  }
  std::filesystem::remove(errFile);
  return r;
}

/// The bytes of a file ("" when it cannot be read).
inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Writes `text` into a file as it stands.
inline void put(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

/// The lines of a tool's output, without their line ends.
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

}  // namespace accelspec::test
