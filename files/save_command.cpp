// SPDX-License-Identifier: MIT
#include "files/save_command.hpp"

#include <filesystem>
#include <string>

#include "data/messages.hpp"
#include "files/config.hpp"
#include "files/formats.hpp"

namespace accelspec {

std::string offeredSaveName(const std::string& kept, std::string_view filter) {
  const std::size_t bar = filter.find('|');
  if (kept.empty() || bar == std::string_view::npos) return kept;
  const std::string_view pattern = filter.substr(bar + 1);
  if (pattern.size() < 3 || pattern.substr(0, 2) != "*." ||
      pattern.find_first_of("*?|", 1) != std::string_view::npos)
    return kept;
  std::filesystem::path name(kept);
  if (!name.has_filename()) return kept;
  name.replace_extension(std::string(pattern.substr(1)));
  return name.string();
}

void saveFile(const Store& store, Form& form) {
  const ModeKind mode = store.Mode;
  std::string_view filter;
  switch (mode) {
    case kModeNone:
      filter = msg::kSaveFilterConfiguration;
      break;
    case kModeInputSpectrum:
      filter = msg::kSaveFilterInputSpectrum;
      break;
    case kModeAccelerogram:
      filter = msg::kSaveFilterAccelerogram;
      break;
    case kModeResponseSpectrum:
      filter = msg::kSaveFilterResponseSpectrum;
      break;
  }
  if (filter.empty()) return;  // a mode no command sets
  form.setSaveDialogFilter(std::string(filter));
  if (!form.executeSaveDialog()) return;
  const std::string path = form.saveDialogFileName();
  switch (mode) {
    case kModeNone:
      writeConfiguration(path, store, form);
      break;
    case kModeInputSpectrum:
      writeSpv(path, store);
      break;
    case kModeAccelerogram:
      writeAks(path, store);
      break;
    case kModeResponseSpectrum:
      writeSpo(path, store);
      break;
  }
}

}  // namespace accelspec
