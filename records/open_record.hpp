// SPDX-License-Identifier: MIT
#pragma once

#include "data/form.hpp"
#include "data/store.hpp"
#include "records/record.hpp"

namespace accelspec {

/// Opens the record as its *.aks file would open (records::aksText): the same fields, chart,
/// limits and messages; a record longer than the store is refused as such a file is.
void openRecord(Store& store, Form& form, const records::Record& record);

}  // namespace accelspec
