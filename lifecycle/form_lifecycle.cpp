// SPDX-License-Identifier: MIT
#include "lifecycle/form_lifecycle.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "data/defaults.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "files/textio.hpp"
#include "memory/memory.hpp"

namespace accelspec {

namespace {

// Line 8 onward of a configuration text (the memory count and the slots): what follows the
// seventh line end. A line ends at CR, CR LF or a lone LF; "" when the text has fewer lines.
std::string memoryLines(const std::string& text) {
  std::size_t pos = 0;
  for (int line = 0; line < static_cast<int>(kParameterLineCount); ++line) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) return {};
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return text.substr(pos);
}

void setHeaders(Form& form) {
  form.setCell(Grid::Spv, 0, 0, std::string(msg::kHeaderFrequency));
  form.setCell(Grid::Spv, 1, 0, std::string(msg::kHeaderAcceleration));
  form.setCell(Grid::Memory, 0, 0, std::string(msg::kHeaderChannel));
  form.setCell(Grid::Memory, 1, 0, std::string(msg::kHeaderFileName));
  form.setCell(Grid::Memory, 2, 0, std::string(msg::kHeaderGraphTitle));
}

}  // namespace

FormLifecycle::FormLifecycle(ConfigLocation location) : location_(std::move(location)) {
  for (std::size_t i = 0; i < kParameterLineCount; ++i)
    lastGood_[i] = defaultFieldText(kConfigurationFields[i], '.');
}

FormLifecycle::MemoryState FormLifecycle::memoryState(const Store& store, const Form& form) {
  MemoryState state;
  state.count = store.NMem;
  for (int k = 1; k <= kMaxSlots; ++k) {
    state.cells.push_back(form.cell(Grid::Memory, 1, k));
    state.cells.push_back(form.cell(Grid::Memory, 2, k));
  }
  const auto first = static_cast<std::size_t>(slotCountIndex(1));
  const auto last = static_cast<std::size_t>(slotBase(kMaxSlots) + kMaxSlotLastIndex);
  state.freq.assign(store.SpF.begin() + first, store.SpF.begin() + last + 1);
  state.accel.assign(store.SpA.begin() + first, store.SpA.begin() + last + 1);
  return state;
}

void FormLifecycle::formActivate(Store& store, Form& form) {
  std::error_code ec;
  if (location_.userFolder && !std::filesystem::exists(location_.path, ec) && !ec) {
    finishActivation(store, form);  // the first start: the window's defaults stay
    return;
  }
  const std::string text = readWholeFile(location_.path);
  try {
    TextReader in(text);
    readConfiguration(in, store, form);
  } catch (const AppError&) {
    loadFailed_ = true;
    unreadMemoryLines_ = memoryLines(text);
    afterFailedLoad_ = memoryState(store, form);
    throw;
  }
  finishActivation(store, form);
}

void FormLifecycle::finishActivation(Store& store, Form& form) {
  loadFailed_ = false;
  unreadMemoryLines_.clear();
  for (std::size_t i = 0; i < kParameterLineCount; ++i)
    lastGood_[i] = parameterFileText(form, kConfigurationFields[i]);
  store.Mode = kModeNone;
  showMemoryList(store, form);
  setHeaders(form);
}

std::string FormLifecycle::formClose(const Store& store, const Form& form) {
  ParameterTexts texts;
  std::string notice;
  for (std::size_t i = 0; i < kParameterLineCount; ++i) {
    const Edit field = kConfigurationFields[i];
    texts[i] = parameterFileText(form, field);
    if (parameterReadsBack(field, texts[i])) continue;
    texts[i] = lastGood_[i];
    std::string shown = texts[i];
    std::replace(shown.begin(), shown.end(), '.', form.decimalSeparator());
    notice += notice.empty() ? std::string(msg::kKeptParameters) : std::string(";");
    notice += "\n";
    notice += fieldCaption(field);
    notice += " — " + shown;
  }
  const bool keepFileMemory =
      loadFailed_ && !unreadMemoryLines_.empty() && memoryState(store, form) == afterFailedLoad_;
  const std::string memory = keepFileMemory ? unreadMemoryLines_ : formatMemoryBlock(store, form);
  if (location_.userFolder) {
    // A folder that cannot be made shows up as the write's own error just below.
    const std::filesystem::path folder = std::filesystem::path(location_.path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  }
  replaceFile(location_.path, formatParameterLines(texts) + memory);
  lastGood_ = texts;
  return notice;
}

}  // namespace accelspec
