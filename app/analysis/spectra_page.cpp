// SPDX-License-Identifier: MIT
#include "app/analysis/spectra_page.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>
#include <exception>
#include <numbers>
#include <optional>
#include <thread>

#include "analysis/grid.hpp"
#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/plural.hpp"
#include "app/error_box.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/record.hpp"

namespace accelspec {

namespace {

QString tr8(const char* text) { return QString::fromUtf8(text); }

enum GridKind { kLog, kPeriods, kLin, kSrp, kNga, kFile, kMain };

const char* const kGridLabels[] = {"Логарифмическая по частоте", "Логарифмическая по периоду",
                                   "Линейная по частоте",        "SRP (75 частот)",
                                   "NGA (111 периодов)",         "Из файла частот",
                                   "Сетка главного окна"};

const analysis::Quantity kQuantities[] = {analysis::Quantity::Psa, analysis::Quantity::Sa,
                                          analysis::Quantity::Sv, analysis::Quantity::Psv,
                                          analysis::Quantity::Sd};
const char* const kQuantityLabels[] = {"PSA — псевдоускорение", "SA — абсолютное ускорение",
                                       "SV — относительная скорость", "PSV — псевдоскорость",
                                       "SD — относительное смещение"};
const char* const kQuantityAxes[] = {"PSA, м/с²", "SA, м/с²", "SV, м/с", "PSV, м/с", "SD, м"};
constexpr std::size_t kPsv = 3;

constexpr double kTwoPi = 2 * std::numbers::pi;

// A field's text as the grid takes it: the user's decimal comma becomes a point.
std::string gridNumber(const QLineEdit* edit) {
  return edit->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
}

// "0.02, 0.05, 0.1" as the dampings take it; with semicolons between the values, commas are
// decimal commas ("0,02; 0,05"). Where the user's numbers have a decimal comma and the text no
// point, a comma before a digit is a decimal comma ("0,05"; "0,02, 0,05").
std::string dampingText(QString text, bool commaLocale) {
  if (commaLocale && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char(';'))) {
    text.replace(QRegularExpression(QStringLiteral(",(?!\\d)")), QStringLiteral(";"));
  }
  if (text.contains(QLatin1Char(';'))) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    text.replace(QLatin1Char(';'), QLatin1Char(','));
  }
  text.remove(QRegularExpression(QStringLiteral("\\s")));
  return text.toStdString();
}

QString dampingName(double zeta) { return QString::number(zeta, 'g', 6); }

QString shortNumber(double v) { return QString::number(v, 'g', 4); }

// Lines of constant SD (slope −1) and constant PSA (slope +1, in g) across a log-log box of
// period [t0, t1] and PSV [v0, v1], one for each power of ten that crosses the box, each
// written with its value.
void tripartiteGuides(Plot& plot, double t0, double t1, double v0, double v1) {
  const QColor sdColor(120, 120, 200), psaColor(200, 120, 120);
  const double g = records::kStandardGravity;
  for (int e = static_cast<int>(std::floor(std::log10(v0 * t0 / kTwoPi)));
       e <= static_cast<int>(std::ceil(std::log10(v1 * t1 / kTwoPi))); ++e) {
    const double sd = std::pow(10.0, e);
    plot.addGuide({{t0, kTwoPi * sd / t0}, {t1, kTwoPi * sd / t1}}, sdColor,
                  tr8("SD %1 м").arg(shortNumber(sd)), true);
  }
  for (int e = static_cast<int>(std::floor(std::log10(v0 * kTwoPi / t1 / g)));
       e <= static_cast<int>(std::ceil(std::log10(v1 * kTwoPi / t0 / g))); ++e) {
    const double psa = std::pow(10.0, e) * g;
    plot.addGuide({{t0, psa * t0 / kTwoPi}, {t1, psa * t1 / kTwoPi}}, psaColor,
                  tr8("PSA %1 g").arg(shortNumber(std::pow(10.0, e))), true);
  }
}

double decadeBelow(double v) { return std::pow(10.0, std::floor(std::log10(v) + 1e-9)); }
double decadeAbove(double v) { return std::pow(10.0, std::ceil(std::log10(v) - 1e-9)); }

// The name a record's CSV file takes in a folder, unique among `taken`.
QString csvName(const std::string& record, QStringList& taken) {
  QString base = QString::fromStdString(record);
  base.replace(QLatin1Char('/'), QLatin1Char('_'));
  QString name = base + QStringLiteral(".csv");
  for (int k = 2; taken.contains(name); ++k) name = base + QStringLiteral("_%1.csv").arg(k);
  taken << name;
  return name;
}

}  // namespace

QLineEdit* SpectraPage::field(const char* name, const QString& text) {
  auto* edit = new QLineEdit(text, this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaximumWidth(90);
  return edit;
}

SpectraPage::SpectraPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("SpectraPage"));
  task_ = new BackgroundTask(this);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("SpectraStatus"));
  QGridLayout* controls = buildComputeControls();
  QHBoxLayout* viewRow = buildViewRow();

  plot_ = new Plot(this);
  plot_->setObjectName(QStringLiteral("PlotSpectra"));
  plot_->setExportFolder([this] { return session_.lastFolder(); },
                         [this](const QString& f) { session_.setLastFolder(f); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addLayout(viewRow);
  layout->addWidget(plot_, 1);
  layout->addWidget(status_);
  layout->addWidget(new TaskProgress(*task_, this));

  restoreSettings();
  gridKindChanged();
  connect(gridKind_, &QComboBox::currentIndexChanged, this, &SpectraPage::gridKindChanged);
  connect(gridBrowse_, &QPushButton::clicked, this, &SpectraPage::chooseGridFile);
  connect(csv_, &QPushButton::clicked, this, &SpectraPage::csvClicked);
  for (QComboBox* box : {quantity_, axisX_, view_})
    connect(box, &QComboBox::currentIndexChanged, this, &SpectraPage::redraw);
  for (QCheckBox* box : {logX_, logY_})
    connect(box, &QCheckBox::toggled, this, &SpectraPage::redraw);
  redraw();
}

// What a run computes: the grid, the dampings, the quantity and the peaks.
QGridLayout* SpectraPage::buildComputeControls() {
  gridKind_ = new QComboBox(this);
  gridKind_->setObjectName(QStringLiteral("ComboGrid"));
  for (const char* label : kGridLabels) gridKind_->addItem(tr8(label));
  gridFrom_ = field("EditGridFrom", QStringLiteral("0.1"));
  gridTo_ = field("EditGridTo", QStringLiteral("100"));
  gridStep_ = field("EditGridStep", QStringLiteral("100"));
  gridFile_ = new QLineEdit(this);
  gridFile_->setObjectName(QStringLiteral("EditGridFile"));
  gridBrowse_ = new QPushButton(tr8("…"), this);
  gridBrowse_->setObjectName(QStringLiteral("ButtonGridFile"));
  fromLabel_ = new QLabel(this);
  toLabel_ = new QLabel(this);
  stepLabel_ = new QLabel(this);

  dampings_ = new QLineEdit(QStringLiteral("0.02, 0.05, 0.1"), this);
  dampings_->setObjectName(QStringLiteral("EditDampings"));
  dampings_->setToolTip(
      tr8("Доли критического: через запятую с точкой (0.02, 0.05) или через "
          "точку с запятой с запятой (0,02; 0,05)"));
  quantity_ = new QComboBox(this);
  quantity_->setObjectName(QStringLiteral("ComboQuantity"));
  for (const char* label : kQuantityLabels) quantity_->addItem(tr8(label));
  peaks_ = new QComboBox(this);
  peaks_->setObjectName(QStringLiteral("ComboPeaks"));
  peaks_->addItems({tr8("между отсчётами (уточнённые)"), tr8("в отсчётах записи")});

  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel(tr8("Сетка:"), this), 0, 0);
  controls->addWidget(gridKind_, 0, 1);
  controls->addWidget(fromLabel_, 0, 2);
  controls->addWidget(gridFrom_, 0, 3);
  controls->addWidget(toLabel_, 0, 4);
  controls->addWidget(gridTo_, 0, 5);
  controls->addWidget(stepLabel_, 0, 6);
  controls->addWidget(gridStep_, 0, 7);
  controls->addWidget(gridFile_, 0, 8);
  controls->addWidget(gridBrowse_, 0, 9);
  controls->addWidget(new QLabel(tr8("Затухания:"), this), 1, 0);
  controls->addWidget(dampings_, 1, 1);
  controls->addWidget(new QLabel(tr8("Величина:"), this), 1, 2);
  controls->addWidget(quantity_, 1, 3, 1, 3);
  controls->addWidget(new QLabel(tr8("Пики:"), this), 1, 6);
  controls->addWidget(peaks_, 1, 7, 1, 2);
  controls->setColumnStretch(8, 1);
  return controls;
}

// How the results are drawn, and the run and export buttons.
QHBoxLayout* SpectraPage::buildViewRow() {
  axisX_ = new QComboBox(this);
  axisX_->setObjectName(QStringLiteral("ComboAxisX"));
  axisX_->addItems({tr8("частота"), tr8("период")});
  logX_ = new QCheckBox(tr8("лог. X"), this);
  logX_->setObjectName(QStringLiteral("CheckLogX"));
  logX_->setChecked(true);
  logY_ = new QCheckBox(tr8("лог. Y"), this);
  logY_->setObjectName(QStringLiteral("CheckLogY"));
  view_ = new QComboBox(this);
  view_->setObjectName(QStringLiteral("ComboView"));
  view_->addItems({tr8("спектры"), tr8("трёхчастный (SD–PSV–PSA)")});
  auto* compute = new QPushButton(tr8("Рассчитать"), this);
  compute->setObjectName(QStringLiteral("ButtonCompute"));
  compute->setDefault(true);
  // One run at a time: the button waits for the run (or its «Отмена»).
  connect(task_, &BackgroundTask::started, compute, [compute] { compute->setEnabled(false); });
  connect(task_, &BackgroundTask::finished, compute, [compute] { compute->setEnabled(true); });
  csv_ = new QPushButton(tr8("Экспорт CSV…"), this);
  csv_->setObjectName(QStringLiteral("ButtonCsv"));
  csv_->setEnabled(false);

  auto* viewRow = new QHBoxLayout;
  viewRow->addWidget(new QLabel(tr8("Ось X:"), this));
  viewRow->addWidget(axisX_);
  viewRow->addWidget(logX_);
  viewRow->addWidget(logY_);
  viewRow->addWidget(new QLabel(tr8("График:"), this));
  viewRow->addWidget(view_);
  viewRow->addStretch(1);
  viewRow->addWidget(compute);
  viewRow->addWidget(csv_);
  connect(compute, &QPushButton::clicked, this, &SpectraPage::computeClicked);
  return viewRow;
}

void SpectraPage::gridKindChanged() {
  const int kind = gridKind_->currentIndex();
  const bool range = kind == kLog || kind == kPeriods || kind == kLin;
  // Each range grid keeps its own bounds and step: "100" points a decade is no step in Hz.
  if (shownRange_ >= 0)
    ranges_[shownRange_] = {gridFrom_->text(), gridTo_->text(), gridStep_->text()};
  shownRange_ = range ? kind : -1;
  if (range) {
    gridFrom_->setText(ranges_[kind].from);
    gridTo_->setText(ranges_[kind].to);
    gridStep_->setText(ranges_[kind].step);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{fromLabel_, gridFrom_, toLabel_, gridTo_,
                                                    stepLabel_, gridStep_})
    w->setVisible(range);
  gridFile_->setVisible(kind == kFile);
  gridBrowse_->setVisible(kind == kFile);
  const bool byPeriod = kind == kPeriods;
  fromLabel_->setText(byPeriod ? tr8("от, с") : tr8("от, Гц"));
  toLabel_->setText(byPeriod ? tr8("до, с") : tr8("до, Гц"));
  stepLabel_->setText(kind == kLin ? tr8("шаг, Гц") : tr8("точек на декаду"));
}

void SpectraPage::chooseGridFile() {
  const QString path =
      QFileDialog::getOpenFileName(this, tr8("Файл частот"), session_.lastFolder(),
                                   tr8("Все файлы (*)"), nullptr, QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  session_.setLastFolder(QFileInfo(path).absolutePath());
  gridFile_->setText(path);
}

std::string SpectraPage::gridText() const {
  const std::string range =
      gridNumber(gridFrom_) + ":" + gridNumber(gridTo_) + ":" + gridNumber(gridStep_);
  switch (gridKind_->currentIndex()) {
    case kLog:
      return "log:" + range;
    case kPeriods:
      return "periods:" + range;
    case kLin:
      return "lin:" + range;
    case kSrp:
      return "srp";
    case kNga:
      return "nga";
    case kFile:
      return "file:" + gridFile_->text().toStdString();
    default:
      return session_.link().linearGrid ? session_.link().linearGrid() : std::string();
  }
}

// The run the fields ask for; none, with the error box shown, when a field is wrong.
std::optional<analysis::SpectraRequest> SpectraPage::requestFromFields() {
  analysis::SpectraRequest request;
  try {
    const int kind = gridKind_->currentIndex();
    if (kind == kLog || kind == kPeriods || kind == kLin) {
      // Each field by its caption, before the grid text the fields make is read.
      const std::pair<const QLineEdit*, const QLabel*> fields[] = {
          {gridFrom_, fromLabel_}, {gridTo_, toLabel_}, {gridStep_, stepLabel_}};
      for (const auto& [edit, label] : fields) {
        double v = 0;
        if (!analysis::parseNumber(gridNumber(edit), v) || !(v > 0))
          throw AppError("Сетка, " + label->text().toStdString() + ": ожидается число больше нуля");
      }
    }
    try {
      request.grid = analysis::parseGrid(gridText());
    } catch (const AppError& e) {
      // The parser quotes the grid as the command line writes it; here it is the fields.
      std::string what = e.what();
      if (what.starts_with("неверная сетка «") && kind != kFile) {
        const auto end = what.find("»: ");
        if (end != std::string::npos) what = "Сетка: " + what.substr(end + 4);
      }
      throw AppError(what);
    }
    try {
      request.dampings = analysis::parseDampings(
          dampingText(dampings_->text(), QLocale().decimalPoint() == QLatin1Char(',')));
    } catch (const AppError& e) {
      throw AppError("Затухания: " + std::string(e.what()));
    }
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return std::nullopt;
  }
  request.quantities.assign(std::begin(kQuantities), std::end(kQuantities));
  request.peaks = peaks_->currentIndex() == 0 ? analysis::Peaks::Refined : analysis::Peaks::Samples;
  request.threads = std::max(1u, std::thread::hardware_concurrency());
  return request;
}

void SpectraPage::computeClicked() {
  saveSettings();
  std::vector<std::size_t> chosen = session_.selection();
  if (chosen.empty()) {
    status_->setText(tr8("Выберите записи на странице «Записи»."));
    return;
  }
  const std::optional<analysis::SpectraRequest> asked = requestFromFields();
  if (!asked) return;
  const analysis::SpectraRequest request = *asked;

  struct Job {
    std::uint64_t id;
    records::Record record;
  };
  std::vector<Job> jobs;
  for (std::size_t i : chosen) jobs.push_back({session_.at(i).id, session_.at(i).record});
  status_->setText(tr8("Расчёт…"));
  task_->start<std::vector<RecordSpectra>>(
      [jobs = std::move(jobs), request](const TaskControl& control) {
        // The cancel reaches the oscillators' loop, not only the gaps between records.
        analysis::SpectraRequest stoppable = request;
        stoppable.stop = control.stopToken();
        std::vector<RecordSpectra> out;
        for (std::size_t k = 0; k < jobs.size() && !control.cancelled(); ++k) {
          control.report(static_cast<int>(100 * k / jobs.size()),
                         QString::fromStdString(jobs[k].record.name));
          out.push_back(
              {jobs[k].id, jobs[k].record.name,
               analysis::computeSpectra(jobs[k].record.accel, jobs[k].record.dt, stoppable)});
        }
        return out;
      },
      [this, request](std::vector<RecordSpectra>& out) {
        request_ = request;
        results_ = std::move(out);
        status_->setText(tr8("%1 сетки, затуханий: %2, записей: %3")
                             .arg(russianCount(static_cast<long long>(request_.grid.size()),
                                               "точка", "точки", "точек"))
                             .arg(request_.dampings.size())
                             .arg(results_.size()));
        csv_->setEnabled(!results_.empty());
        redraw();
        emit drawn();
      });
  connect(
      task_, &BackgroundTask::finished, status_,
      [this](bool succeeded) {
        if (!succeeded && status_->text() == tr8("Расчёт…")) status_->clear();
      },
      Qt::SingleShotConnection);
}

void SpectraPage::redraw() {
  saveSettings();
  const bool tripartite = view_->currentIndex() == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{quantity_, axisX_, logX_, logY_})
    w->setEnabled(!tripartite);
  plot_->clear();
  if (tripartite) {
    drawTripartite();
  } else {
    drawSpectra(static_cast<std::size_t>(quantity_->currentIndex()));
  }
  plot_->refresh();
}

void SpectraPage::drawSpectra(std::size_t q) {
  const bool byPeriod = axisX_->currentIndex() == 1;
  plot_->setTitle(tr8("Спектры ответа"));
  plot_->setAxes(byPeriod ? tr8("T, с") : tr8("f, Гц"), logX_->isChecked(), tr8(kQuantityAxes[q]),
                 logY_->isChecked());
  plot_->setReadoutFormat({});
  for (const RecordSpectra& r : results_) {
    for (std::size_t d = 0; d < r.spectra.dampings; ++d) {
      std::vector<QPointF> points(r.spectra.points);
      for (std::size_t j = 0; j < r.spectra.points; ++j) {
        const analysis::GridPoint& p = request_.grid[j];
        points[j] = QPointF(byPeriod ? p.period : p.frequency, r.spectra.value(d, q, j));
      }
      plot_->addSeries(
          QString::fromStdString(r.name) + tr8(", ζ = ") + dampingName(request_.dampings[d]),
          std::move(points));
    }
  }
}

void SpectraPage::drawTripartite() {
  plot_->setTitle(tr8("Трёхчастный спектр (SD–PSV–PSA)"));
  plot_->setAxes(tr8("T, с"), true, tr8("PSV, м/с"), true);
  double t0 = INFINITY, t1 = 0, v0 = INFINITY, v1 = 0;
  for (const RecordSpectra& r : results_) {
    for (std::size_t d = 0; d < r.spectra.dampings; ++d) {
      std::vector<QPointF> points(r.spectra.points);
      for (std::size_t j = 0; j < r.spectra.points; ++j) {
        const double period = request_.grid[j].period, psv = r.spectra.value(d, kPsv, j);
        points[j] = QPointF(period, psv);
        t0 = std::min(t0, period);
        t1 = std::max(t1, period);
        if (psv > 0) v0 = std::min(v0, psv), v1 = std::max(v1, psv);
      }
      plot_->addSeries(
          QString::fromStdString(r.name) + tr8(", ζ = ") + dampingName(request_.dampings[d]),
          std::move(points));
    }
  }
  plot_->setReadoutFormat([](QPointF v) {
    const double sd = v.y() * v.x() / kTwoPi, psa = v.y() * kTwoPi / v.x();
    return tr8("T = %1 с;  PSV = %2 м/с;  SD = %3 м;  PSA = %4 м/с² (%5 g)")
        .arg(shortNumber(v.x()), shortNumber(v.y()), shortNumber(sd), shortNumber(psa),
             shortNumber(psa / records::kStandardGravity));
  });
  if (!(t0 < t1) || !(v0 <= v1)) return;
  t0 = decadeBelow(t0), t1 = decadeAbove(t1);
  v0 = decadeBelow(v0), v1 = decadeAbove(v1);
  if (v1 <= v0) v1 = v0 * 10;
  tripartiteGuides(*plot_, t0, t1, v0, v1);
  plot_->setRanges(t0, t1, v0, v1);
}

QStringList SpectraPage::writeCsv(const QString& target) {
  QStringList written, taken;
  for (const RecordSpectra& r : results_) {
    const QString path =
        results_.size() == 1 ? target : QDir(target).filePath(csvName(r.name, taken));
    try {
      replaceFile(path.toStdString(), analysis::spectraCsv(request_, r.spectra));
    } catch (...) {
      showErrorBox(this, userMessage(std::current_exception()));
      break;
    }
    written << path;
  }
  return written;
}

void SpectraPage::csvClicked() {
  if (results_.empty()) return;
  const bool one = results_.size() == 1;
  const QString folder = session_.lastFolder();
  const QString suggested =
      one ? QDir(folder).filePath(QString::fromStdString(results_.front().name) + ".csv") : folder;
  QString target;
  if (saveHook_) {
    target = saveHook_(suggested);
  } else if (one) {
    target = QFileDialog::getSaveFileName(this, tr8("Таблица спектров"), suggested,
                                          tr8("Таблица CSV (*.csv)"), nullptr,
                                          QFileDialog::DontUseNativeDialog);
  } else {
    target = QFileDialog::getExistingDirectory(
        this, tr8("Папка для таблиц спектров (по файлу на запись)"), suggested,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  }
  if (target.isEmpty()) return;
  if (one && QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".csv");
  session_.setLastFolder(one ? QFileInfo(target).absolutePath() : target);
  writeCsv(target);
}

void SpectraPage::saveSettings() {
  QSettings& s = session_.settings();
  s.beginGroup(QStringLiteral("spectra"));
  s.setValue("grid", gridKind_->currentIndex());
  if (shownRange_ >= 0)
    ranges_[shownRange_] = {gridFrom_->text(), gridTo_->text(), gridStep_->text()};
  for (int k = 0; k < 3; ++k) {
    const QString group = QStringLiteral("range%1/").arg(k);
    s.setValue(group + "from", ranges_[k].from);
    s.setValue(group + "to", ranges_[k].to);
    s.setValue(group + "step", ranges_[k].step);
  }
  s.setValue("file", gridFile_->text());
  s.setValue("dampings", dampings_->text());
  s.setValue("quantity", quantity_->currentIndex());
  s.setValue("peaks", peaks_->currentIndex());
  s.setValue("axisX", axisX_->currentIndex());
  s.setValue("logX", logX_->isChecked());
  s.setValue("logY", logY_->isChecked());
  s.setValue("view", view_->currentIndex());
  s.endGroup();
}

void SpectraPage::restoreSettings() {
  QSettings& s = session_.settings();
  s.beginGroup(QStringLiteral("spectra"));
  auto index = [&](QComboBox* box, const char* key) {
    const int i = s.value(key, box->currentIndex()).toInt();
    if (i >= 0 && i < box->count()) box->setCurrentIndex(i);
  };
  index(gridKind_, "grid");
  index(quantity_, "quantity");
  index(peaks_, "peaks");
  index(axisX_, "axisX");
  index(view_, "view");
  for (auto [edit, key] : {std::pair{gridFile_, "file"}, std::pair{dampings_, "dampings"}})
    edit->setText(s.value(key, edit->text()).toString());
  for (int k = 0; k < 3; ++k) {
    const QString group = QStringLiteral("range%1/").arg(k);
    ranges_[k].from = s.value(group + "from", ranges_[k].from).toString();
    ranges_[k].to = s.value(group + "to", ranges_[k].to).toString();
    ranges_[k].step = s.value(group + "step", ranges_[k].step).toString();
  }
  logX_->setChecked(s.value("logX", logX_->isChecked()).toBool());
  logY_->setChecked(s.value("logY", logY_->isChecked()).toBool());
  s.endGroup();
}

}  // namespace accelspec
