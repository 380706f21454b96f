#include "app/analysis/records_page.hpp"

#include "app/analysis/analysis_session.hpp"

namespace accelspec {

RecordsPage::RecordsPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("RecordsPage"));
}

}  // namespace accelspec
