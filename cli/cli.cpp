// SPDX-License-Identifier: MIT
#include "cli/cli.hpp"

#include <ostream>
#include <string>
#include <vector>

#include "cli/command.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"

namespace accelspec::cli {

// Every command, in the order of the usage text. A new command is one more line here. Built on
// first use: the commands' option sets live in other files, whose statics may not be ready yet
// while this file's are being made.
const std::vector<const Command*>& commands() {
  static const std::vector<const Command*> all = {
      &synthCommand(),       &responseCommand(),     &windowCommand(),      &convertCommand(),
      &importCommand(),      &spectraCommand(),      &measuresCommand(),    &checkCommand(),
      &baselineCommand(),    &matchCommand(),        &libraryAddCommand(),  &libraryListCommand(),
      &libraryPairCommand(), &libraryPruneCommand(), &libraryInfoCommand(), &selectCommand(),
      &suiteCheckCommand(),  &suiteExportCommand(),
  };
  return all;
}

namespace {

constexpr std::size_t kNameColumn = 10;
constexpr std::size_t kOptionColumn = 24;

const char* const kStatuses = "0 готово, 1 ошибка (текст в stderr), 2 неверный вызов";

const Command* findCommand(const std::string& name) {
  for (const Command* c : commands())
    if (c->name == name) return c;
  return nullptr;
}

// Whether `word` begins the names of a group of commands ("library" of "library add").
bool isGroup(const std::string& word) {
  for (const Command* c : commands())
    if (c->name.rfind(word + " ", 0) == 0) return true;
  return false;
}

// The commands of the group `word`, for a call that names none of them.
std::string groupCommands(const std::string& word) {
  std::string names;
  for (const Command* c : commands())
    if (c->name.rfind(word + " ", 0) == 0)
      names += (names.empty() ? "" : ", ") + c->name.substr(word.size() + 1);
  return names;
}

// The help of every command of the group `word`, one after another: what `WORD --help` and
// `help WORD` print, and where a call of the group's word alone is sent.
std::string groupHelp(const std::string& word) {
  std::string text;
  for (const Command* c : commands())
    if (c->name.rfind(word + " ", 0) == 0) text += (text.empty() ? "" : "\n") + commandHelp(*c);
  return text;
}

constexpr std::size_t kWidth = 100;

// Characters, not bytes: the texts are UTF-8.
std::size_t width(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// `text` in a column from `indent`, wrapped at blanks to kWidth, the first line after `head`
// (which goes on a line of its own when it reaches into the column).
std::string columned(const std::string& head, const std::string& text, std::size_t indent) {
  std::string out = head;
  std::size_t used = width(head);
  if (used + 1 > indent) {
    out += "\n";
    used = 0;
  }
  out.append(indent - used, ' ');
  used = indent;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!first && used + 1 + width(word) > kWidth) {
      out += "\n" + std::string(indent, ' ');
      used = indent;
    } else if (!first) {
      out += ' ';
      ++used;
    }
    out += word;
    used += width(word);
    first = false;
    start = end + 1;
  }
  return out + "\n";
}

}  // namespace

std::string usage() {
  std::string text = "Использование:\n";
  for (const Command* c : commands())
    for (const auto& line : c->synopsis) text += "  accelspec-cli " + line + "\n";
  text +=
      "  accelspec-cli --help\n"
      "  accelspec-cli --version\n\n";
  for (const Command* c : commands()) {
    text += c->name;
    const std::size_t w = width(c->name);
    text.append(w < kNameColumn ? kNameColumn - w : 1, ' ');
    text += c->summary + "\n";
  }
  text +=
      "\n"
      "Справка по команде, с единицами и значениями по умолчанию каждого параметра и примером:\n"
      "accelspec-cli КОМАНДА --help или accelspec-cli help КОМАНДА.\n"
      "\n"
      "Числа пишутся с точкой. Не заданный параметр имеет значение по умолчанию программы\n"
      "(после открытия записи шаг по времени берётся из файла). Файл config.cfg не используется.\n"
      "--version печатает версию.\n"
      "Код выхода: " +
      std::string(kStatuses) +
      ", 3 записи не прошли проверку (check), набор не выполняет\n"
      "правило (select, suite check) или совместимая запись не найдена (match).\n";
  return text;
}

std::string commandHelp(const Command& c) {
  std::string text = "Использование:\n";
  for (const auto& line : c.synopsis) text += "  accelspec-cli " + line + "\n";
  text += "\n" + c.summary + "\n\nПараметры:\n";
  for (const OptionHelp& o : c.optionHelp) text += columned("  " + o.option, o.text, kOptionColumn);
  text += columned("  -h, --help", "эта справка", kOptionColumn);
  text += "\nПример:\n  accelspec-cli " + c.example + "\n\nКод выхода: " + kStatuses;
  text += c.status3.empty() ? std::string(".\n") : ", 3 " + c.status3 + ".\n";
  return text;
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) {
    err << usage();
    return 2;
  }
  const std::string command = argv[1];
  // Only an option where an option may stand asks for help, never a file name or a value.
  if (command == "--help" || command == "-h" || (command == "help" && argc == 2)) {
    out << usage();
    return 0;
  }
  // The command whose help a wrong call points to; none for an unknown one.
  std::string helpOf = command;
  try {
    if (command == "help") {
      helpOf = "";
      if (argc == 3 && isGroup(argv[2])) {
        out << groupHelp(argv[2]);
        return 0;
      }
      const std::string name = argc == 4 && isGroup(argv[2]) ? std::string(argv[2]) + " " + argv[3]
                                                             : std::string(argv[2]);
      if (argc > 4 || (argc == 4 && !isGroup(argv[2])))
        throw UsageError("help: укажите одну команду");
      const Command* c = findCommand(name);
      if (!c) throw UsageError("неизвестная команда " + name);
      out << commandHelp(*c);
      return 0;
    }
    // A command of a group takes the group's word and its own: the options follow both.
    const bool group = isGroup(command);
    if (group) {
      const std::string second = argc > 2 ? argv[2] : "";
      if (second == "--help" || second == "-h") {
        out << groupHelp(command);
        return 0;
      }
      if (second.empty()) {
        throw UsageError(command + ": укажите команду: " + groupCommands(command));
      }
      helpOf = command + " " + second;
    }
    const Command* c = findCommand(helpOf);
    if (!c) {
      helpOf = "";
      throw UsageError("неизвестная команда " + (group ? command + " " + argv[2] : command));
    }
    Arguments a = group ? parseArguments(argc - 1, argv + 1, c->options, c->flags)
                        : parseArguments(argc, argv, c->options, c->flags);
    a.command = c->name;
    if (a.help) {
      out << commandHelp(*c);
      return 0;
    }
    return c->run(a, out, err);
  } catch (const UsageError& e) {
    err << "accelspec-cli: " << e.what() << "\nПодробнее: accelspec-cli "
        << (helpOf.empty() ? std::string("--help") : helpOf + " --help") << "\n";
    return 2;
  } catch (...) {
    // The one place a command's failure is told: the window's commands report theirs per record
    // and never reach here.
    err << userMessage(std::current_exception(), msg::kOutOfMemoryRu) << '\n';
    return 1;
  }
}

}  // namespace accelspec::cli
