// SPDX-License-Identifier: MIT
// The user's guide against what it describes and what the build takes into the program: every
// command of the tool has its section, every file a chapter links to exists, and the program's
// resources hold every chapter and every picture the chapters show.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::path(ACCELSPEC_TEST_DATA) / "..";
const fs::path kGuide = kRoot / "docs" / "guide";

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> chapterFiles() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kGuide))
    if (entry.path().extension() == ".md") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The text of a chapter outside fenced code blocks and inline code, where links are links.
std::string proseOf(const std::string& chapter) {
  std::istringstream lines(chapter);
  std::string line, out;
  bool fenced = false;
  while (std::getline(lines, line)) {
    if (line.rfind("```", 0) == 0) {
      fenced = !fenced;
      continue;
    }
    if (fenced) continue;
    out += std::regex_replace(line, std::regex("`[^`]*`"), "") + "\n";
  }
  return out;
}

struct Link {
  bool picture;
  std::string target;
};

std::vector<Link> linksOf(const std::string& chapter) {
  std::vector<Link> links;
  const std::string prose = proseOf(chapter);
  const std::regex link(R"((!?)\[[^\]]*\]\(([^)\s]+)\))");
  for (auto it = std::sregex_iterator(prose.begin(), prose.end(), link);
       it != std::sregex_iterator(); ++it)
    links.push_back({(*it)[1].length() > 0, (*it)[2].str()});
  return links;
}

// The names a CMake list holds: `set(NAME` followed by one name a line up to `)`.
std::set<std::string> cmakeList(const std::string& text, const std::string& name) {
  std::set<std::string> items;
  const std::size_t at = text.find("set(" + name + "\n");
  if (at == std::string::npos) return items;
  std::istringstream lines(text.substr(at + name.size() + 5));
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t end = line.find(')');
    std::istringstream words(line.substr(0, end));
    std::string word;
    while (words >> word) items.insert(word);
    if (end != std::string::npos) break;
  }
  return items;
}

// The anchor a heading gets in the repository's viewer (and in the help window): lower case,
// letters, digits, '-' and '_' kept, blanks made '-', the rest dropped. The guide's headings use
// Latin and Cyrillic letters only, which is all this decodes.
std::string slugOf(const std::string& heading) {
  std::string slug;
  for (std::size_t i = 0; i < heading.size();) {
    const auto c = static_cast<unsigned char>(heading[i]);
    if (c < 0x80) {
      if (std::isalnum(c) || c == '-' || c == '_') slug += static_cast<char>(std::tolower(c));
      if (c == ' ') slug += '-';
      ++i;
      continue;
    }
    const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (len == 2 && i + 1 < heading.size()) {
      char32_t cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(heading[i + 1]) & 0x3Fu);
      if (cp >= 0x400 && cp <= 0x4FF) {
        if (cp >= 0x410 && cp <= 0x42F) cp += 0x20;
        if (cp >= 0x400 && cp <= 0x40F) cp += 0x50;
        slug += static_cast<char>(0xC0 | (cp >> 6));
        slug += static_cast<char>(0x80 | (cp & 0x3F));
      }
    }
    i += len;
  }
  return slug;
}

// The anchors of a chapter's headings, "-1", "-2" … added to repeated ones.
std::set<std::string> anchorsOf(const std::string& chapter) {
  std::set<std::string> anchors;
  std::map<std::string, int> seen;
  std::istringstream lines(chapter);
  std::string line;
  bool fenced = false;
  const std::regex heading(R"(^#{1,6}\s+(.*?)\s*$)");
  while (std::getline(lines, line)) {
    if (line.rfind("```", 0) == 0) fenced = !fenced;
    std::smatch m;
    if (fenced || !std::regex_match(line, m, heading)) continue;
    std::string title;
    const std::string raw = m[1].str();
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        title += raw[++i];
      } else if (raw[i] != '`' && raw[i] != '*') {
        title += raw[i];
      }
    }
    std::string slug = slugOf(title);
    if (const int n = seen[slug]++; n > 0) slug += "-" + std::to_string(n);
    anchors.insert(slug);
  }
  return anchors;
}

TEST(Guide, HeadingAnchorsAreThoseOfTheViewer) {
  struct Case {
    const char* heading;
    const char* anchor;
  } cases[] = {
      {"Шаг по времени", "шаг-по-времени"},
      {"Коэф. демпфирования", "коэф-демпфирования"},
      {"M — Взять график в память", "m--взять-график-в-память"},
      {"config.cfg — конфигурация", "configcfg--конфигурация"},
      {"Спектр воздействия (*.spv)", "спектр-воздействия-spv"},
      {"d5_75 и ЁЖ", "d5_75-и-ёж"},
  };
  for (const Case& c : cases) EXPECT_EQ(slugOf(c.heading), c.anchor) << c.heading;
  EXPECT_EQ(anchorsOf("# A\n## A\n```\n# A\n```\n## `A`\n"),
            (std::set<std::string>{"a", "a-1", "a-2"}));
}

TEST(Guide, EveryLinkedPlaceExists) {
  int checked = 0;
  for (const std::string& name : chapterFiles()) {
    for (const Link& link : linksOf(slurp(kGuide / name))) {
      const std::size_t hash = link.target.find('#');
      if (link.target.rfind("http", 0) == 0 || hash == std::string::npos) continue;
      const std::string file = hash == 0 ? name : link.target.substr(0, hash);
      const std::string anchor = link.target.substr(hash + 1);
      EXPECT_TRUE(anchorsOf(slurp(kGuide / file)).count(anchor))
          << name << " links to " << link.target << ", a heading " << file << " does not have";
      ++checked;
    }
  }
  EXPECT_GT(checked, 20);
}

TEST(Guide, EveryCommandOfTheUsageHasItsSection) {
  const fs::path dir = fs::temp_directory_path();
  const std::string usage = accelspec::test::runCli(dir, "--help").out;
  const std::string chapter = slurp(kGuide / "04-cli.md");
  ASSERT_FALSE(chapter.empty());
  std::istringstream lines(usage);
  std::string line;
  std::set<std::string> commands;
  const std::string prefix = "  accelspec-cli ";
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) != 0 || line.rfind(prefix + "-", 0) == 0) continue;
    commands.insert(line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size()));
  }
  EXPECT_GE(commands.size(), 10u);
  for (const std::string& name : commands)
    EXPECT_NE(chapter.find("\n## accelspec-cli " + name + "\n"), std::string::npos) << name;
}

TEST(Guide, EveryLinkedFileExistsAndTheProgramHoldsEveryChapterAndPicture) {
  const std::string cmake = slurp(kRoot / "app" / "CMakeLists.txt");
  const std::set<std::string> chapters = cmakeList(cmake, "GUIDE_CHAPTERS");
  const std::set<std::string> pictures = cmakeList(cmake, "GUIDE_PICTURES");
  ASSERT_FALSE(chapters.empty());
  int checked = 0;
  for (const std::string& name : chapterFiles()) {
    EXPECT_TRUE(chapters.count(name)) << name << " is not built into the program";
    for (const Link& link : linksOf(slurp(kGuide / name))) {
      if (link.target.rfind("http", 0) == 0 || link.target[0] == '#') continue;
      const std::string file = link.target.substr(0, link.target.find('#'));
      const fs::path path = (kGuide / file).lexically_normal();
      EXPECT_TRUE(fs::exists(path)) << name << " links to the missing " << link.target;
      if (link.picture) {
        EXPECT_EQ(path.parent_path(), (kRoot / "docs").lexically_normal()) << link.target;
        EXPECT_TRUE(pictures.count(path.filename().string()))
            << name << " shows " << link.target << ", which is not built into the program";
      }
      ++checked;
    }
  }
  for (const std::string& name : chapters) EXPECT_TRUE(fs::exists(kGuide / name)) << name;
  for (const std::string& name : pictures) EXPECT_TRUE(fs::exists(kRoot / "docs" / name)) << name;
  EXPECT_GT(checked, 20);
}

// The guide is read on screens and in the repository: no chapter may carry a line end the
// repository's viewer and the program's would read differently.
TEST(Guide, ChaptersAreUtf8WithPlainLineEnds) {
  for (const std::string& name : chapterFiles()) {
    const std::string text = slurp(kGuide / name);
    EXPECT_EQ(text.find('\r'), std::string::npos) << name;
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_EQ(text.back(), '\n') << name;
  }
}

}  // namespace

namespace {

// The text of the section `heading` of a chapter, up to the next heading of its level.
std::string sectionOf(const std::string& chapter, const std::string& heading) {
  const std::size_t from = chapter.find("\n## " + heading + "\n");
  if (from == std::string::npos) return "";
  const std::size_t to = chapter.find("\n## ", from + 1);
  return chapter.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

}  // namespace

TEST(Guide, WindowEndingBeforeItStartsIsDescribedAsTheCommandDoesIt) {
  const fs::path dir =
      fs::temp_directory_path() / ("accelspec-guide-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy_file(kRoot / "tests" / "records" / "data" / "three.aks", dir / "rec.aks",
                fs::copy_options::overwrite_existing);
  const auto r = accelspec::test::runCli(dir, "window rec.aks out.aks --from 5 --to 2");
  const bool written = fs::exists(dir / "out.aks");
  fs::remove_all(dir);
  // The window's own behaviour: an empty record, written, and two warnings.
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(written);
  const std::string section = sectionOf(slurp(kGuide / "04-cli.md"), "accelspec-cli window");
  ASSERT_FALSE(section.empty());
  EXPECT_EQ(section.find("— ошибка"), std::string::npos) << section;
  std::istringstream lines(r.err);
  int warnings = 0;
  for (std::string line; std::getline(lines, line); ++warnings) {
    ASSERT_EQ(line.rfind("предупреждение: ", 0), 0u) << line;
    std::string text = line.substr(std::string("предупреждение: ").size());
    text = std::regex_replace(text, std::regex("-?[0-9]+"), "N");
    EXPECT_NE(section.find("`" + text + "`"), std::string::npos) << text;
  }
  EXPECT_EQ(warnings, 2);
}
