// SPDX-License-Identifier: MIT
#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// EditNExit: N := EditN as an integer; the table gets N + 1 rows (at least 1).
/// Throws the integer conversion error, or the capacity error for more than 998 points; N and
/// the row count then keep their values.
void editNExit(Store& store, Form& form);

/// StringGridSpvExit: Mode := 1, chart cleared, rows 1 … N taken into SpF/SpA and drawn.
/// Throws the conversion error of the first bad cell; rows before it stay stored and drawn.
void stringGridSpvExit(Store& store, Form& form);

}  // namespace accelspec
