#include "files/save_command.hpp"

#include <string>

#include "data/messages.hpp"
#include "files/config.hpp"
#include "files/formats.hpp"

namespace accelspec {

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
