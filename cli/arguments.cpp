// SPDX-License-Identifier: MIT
#include "cli/arguments.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <thread>

namespace accelspec::cli {

Arguments parseArguments(int argc, const char* const* argv, const std::set<std::string>& allowed,
                         const std::set<std::string>& flags) {
  Arguments a;
  a.command = argv[1];
  bool options = true;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (options && (arg == "--help" || arg == "-h")) {
      a.help = true;
      continue;
    }
    if (!options || arg.rfind("--", 0) != 0) {
      a.positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    const auto eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
      if (flags.count(name)) throw UsageError("параметр --" + name + " не принимает значения");
    } else if (flags.count(name)) {
      // A flag: nothing after it is its value.
    } else {
      if (i + 1 >= argc) throw UsageError("у параметра --" + name + " нет значения");
      value = argv[++i];
    }
    if (!allowed.count(name)) throw UsageError("неизвестный параметр --" + name);
    if (a.options.count(name)) throw UsageError("параметр --" + name + " задан дважды");
    a.options[name] = value;
  }
  return a;
}

int kindByName(const std::string& name) {
  static const std::map<std::string, int> kinds = {
      {"spv", kSpv}, {"aks", kAks}, {"spo", kSpo}, {"cfg", kCfg}, {"brl", kBrl}};
  auto it = kinds.find(name);
  return it == kinds.end() ? 0 : it->second;
}

std::string extensionOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

int recordKind(const Arguments& a, const std::string& path) {
  if (a.has("kind")) {
    const int k = kindByName(a.get("kind"));
    if (k != kAks && k != kBrl) throw UsageError("--kind должен быть aks или brl");
    return k;
  }
  return extensionOf(path) == "brl" ? kBrl : kAks;
}

void needPositional(const Arguments& a, std::size_t count) {
  if (a.positional.size() != count)
    throw UsageError("команде " + a.command + " нужно файлов: " + std::to_string(count));
}

void addField(FieldTexts& fields, const Arguments& a, const char* option, Edit edit) {
  if (a.has(option)) fields.emplace_back(edit, a.get(option));
}

unsigned jobsOption(const Arguments& a) {
  if (!a.has("jobs")) return std::max(1u, std::thread::hardware_concurrency());
  const std::string& text = a.get("jobs");
  if (text.empty() || text.size() > 4 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      std::stoi(text) < 1)
    throw UsageError("--jobs должен быть целым числом от 1 до 9999");
  return static_cast<unsigned>(std::stoi(text));
}

}  // namespace accelspec::cli
