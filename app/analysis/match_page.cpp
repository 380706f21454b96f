#include "app/analysis/match_page.hpp"

#include "app/analysis/analysis_session.hpp"

namespace accelspec {

MatchPage::MatchPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("MatchPage"));
}

}  // namespace accelspec
