// SPDX-License-Identifier: MIT
#include "data/store.hpp"

namespace accelspec {

std::unique_ptr<Store> makeStore() { return std::make_unique<Store>(); }

}  // namespace accelspec
