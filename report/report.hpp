#pragma once

#include <string>
#include <vector>

#include "data/chart.hpp"
#include "data/store.hpp"

namespace accelspec {

/// What the printed report page shows; filled by fillReport, drawn by the report window.
struct ReportPage {
  bool labelEnabled = false;  ///< QRLabel, the heading
  bool chartEnabled = false;  ///< QRChart, the chart frame
  std::string heading = "QRLabel";
  std::string chartTitle = "СПЕКТР ОТВЕТОВ";
  std::vector<std::string> frequencyLines;     ///< QRMemoFrequency
  std::vector<std::string> accelerationLines;  ///< QRMemoAcseleration
  Series series;                               ///< the one black line of QRDBChart
};

/// SpeedButtonReportClick: fills the page from the input spectrum (Mode 1) or the response
/// spectrum (Mode 3); in any other Mode only clears the columns and the series. `sep` is the
/// decimal separator of the number texts. Throws "Floating point overflow" only for a point
/// beyond the double range.
void fillReport(const Store& store, ReportPage& page, char sep);

}  // namespace accelspec
