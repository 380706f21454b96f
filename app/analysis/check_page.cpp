#include "app/analysis/check_page.hpp"

#include "app/analysis/analysis_session.hpp"

namespace accelspec {

CheckPage::CheckPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("CheckPage"));
}

}  // namespace accelspec
