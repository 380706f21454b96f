// SPDX-License-Identifier: MIT
#include "records/open_record.hpp"

#include <cstddef>
#include <string>

#include "files/file_kind.hpp"
#include "files/open_command.hpp"
#include "records/aks_text.hpp"

namespace accelspec {

void openRecord(Store& store, Form& form, const records::Record& record) {
  // A record longer than the store: its file's first line alone is what the reader refuses,
  // after the open has cleared the chart, as it does for such a file.
  const std::string text = record.accel.size() > static_cast<std::size_t>(kMaxSamples)
                               ? std::to_string(record.accel.size()) + " 1\r\n"
                               : records::aksText(record);
  openText(store, form, kAks, text);
}

}  // namespace accelspec
