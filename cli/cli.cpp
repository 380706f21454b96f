#include "cli/cli.hpp"

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command.hpp"

namespace accelspec::cli {

namespace {

// Every command, in the order of the usage text. A new command is one more line here. Built on
// first use: the commands' option sets live in other files, whose statics may not be ready yet
// while this file's are being made.
const std::vector<const Command*>& commands() {
  static const std::vector<const Command*> all = {
      &synthCommand(),   &responseCommand(), &windowCommand(), &convertCommand(),  &importCommand(),
      &spectraCommand(), &measuresCommand(), &checkCommand(),  &baselineCommand(), &matchCommand(),
  };
  return all;
}

constexpr std::size_t kNameColumn = 10;

std::string usage() {
  std::string text = "Использование:\n";
  for (const Command* c : commands())
    for (const auto& line : c->synopsis) text += "  accelspec-cli " + line + "\n";
  text += "  accelspec-cli --help\n\n";
  for (const Command* c : commands()) {
    text += c->name;
    text.append(c->name.size() < kNameColumn ? kNameColumn - c->name.size() : 1, ' ');
    text += c->summary + "\n";
  }
  text +=
      "\n"
      "Числа пишутся с точкой. Не заданный параметр имеет значение по умолчанию программы\n"
      "(после открытия записи шаг по времени берётся из файла). Файл config.cfg не используется.\n"
      "Код выхода: 0 готово, 1 ошибка (текст в stderr), 2 неверный вызов.\n";
  return text;
}

const Command* findCommand(const std::string& name) {
  for (const Command* c : commands())
    if (c->name == name) return c;
  return nullptr;
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) {
    err << usage();
    return 2;
  }
  const std::string command = argv[1];
  // Only an option where an option may stand asks for help, never a file name or a value.
  if (command == "--help" || command == "-h" || command == "help") {
    out << usage();
    return 0;
  }
  try {
    const Command* c = findCommand(command);
    if (!c) throw UsageError("неизвестная команда " + command);
    const Arguments a = parseArguments(argc, argv, c->options);
    if (a.help) {
      out << usage();
      return 0;
    }
    return c->run(a, out, err);
  } catch (const UsageError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage();
    return 2;
  }
}

}  // namespace accelspec::cli
