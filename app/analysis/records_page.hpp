#pragma once

#include <QWidget>

namespace accelspec {

class AnalysisSession;

/// The analysis window's page "Записи".
class RecordsPage : public QWidget {
  Q_OBJECT

 public:
  RecordsPage(AnalysisSession& session, QWidget* parent = nullptr);

 private:
  AnalysisSession& session_;
};

}  // namespace accelspec
