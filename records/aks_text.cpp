// SPDX-License-Identifier: MIT
#include "records/aks_text.hpp"

#include "data/store.hpp"
#include "files/formats.hpp"
#include "records/scan.hpp"

namespace accelspec::records {

std::string aksText(const Record& record) {
  if (record.accel.size() > static_cast<std::size_t>(kMaxSamples))
    failFile(record.path, "в записи " + std::to_string(record.accel.size()) +
                              " отсчётов, а файл *.aks вмещает не более 100000; команды spectra и "
                              "measures читают запись целиком");
  auto store = makeStore();
  store->ND = static_cast<std::int32_t>(record.accel.size());
  store->DT = record.dt;
  store->T = static_cast<long double>(store->ND) * store->DT;
  for (std::size_t k = 0; k < record.accel.size(); ++k) store->Acc[k + 1] = record.accel[k];
  return formatAks(*store);
}

}  // namespace accelspec::records
