// SPDX-License-Identifier: MIT
#include "app/icons.hpp"

#include <QString>

// The resources live in a static library: nothing registers them unless asked (outside any
// namespace, as the macro requires).
static void registerResources() { Q_INIT_RESOURCE(resources); }

namespace accelspec::icons {

namespace {

QIcon fromResource(const char* name) {
  static const bool registered = (registerResources(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

}  // namespace

QIcon open() { return fromResource("open"); }
QIcon save() { return fromResource("save"); }
QIcon report() { return fromResource("report"); }
QIcon preview() { return fromResource("preview"); }
QIcon synthesis() { return fromResource("synthesis"); }
QIcon responseSpectrum() { return fromResource("response_spectrum"); }
QIcon timeWindow() { return fromResource("time_window"); }
QIcon analysis() { return fromResource("analysis"); }
QIcon window() { return fromResource("window"); }

}  // namespace accelspec::icons
