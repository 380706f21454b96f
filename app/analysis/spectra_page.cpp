#include "app/analysis/spectra_page.hpp"

#include "app/analysis/analysis_session.hpp"

namespace accelspec {

SpectraPage::SpectraPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("SpectraPage"));
}

}  // namespace accelspec
