// SPDX-License-Identifier: MIT
#include "app/analysis/records_page.hpp"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <cmath>
#include <exception>
#include <optional>

#include "analysis/measures.hpp"
#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/plot.hpp"
#include "app/error_box.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "matching/baseline.hpp"
#include "records/record.hpp"

namespace accelspec {

namespace {

QString tr8(const char* text) { return QString::fromUtf8(text); }

// A number as the user reads them in this window: six significant digits in the user's form.
QString shown(double v, int digits = 6) {
  if (!std::isfinite(v)) return tr8("—");
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(v, 'g', digits);
}

double peakOf(const std::vector<double>& values) {
  double peak = 0;
  for (double v : values) peak = std::max(peak, std::fabs(v));
  return peak;
}

QPushButton* button(const char* name, const char* text, QWidget* parent) {
  auto* b = new QPushButton(tr8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

struct MeasureRow {
  const char* name;
  const char* unit;
  double analysis::Measures::*value;
};

constexpr const char* kStepCaption = "Шаг, с";

const MeasureRow kMeasureRows[] = {
    {"Пиковое ускорение PGA", "м/с²", &analysis::Measures::pga},
    {"Пиковая скорость PGV", "м/с", &analysis::Measures::pgv},
    {"Пиковое смещение PGD", "м", &analysis::Measures::pgd},
    {"Интенсивность Ариаса", "м/с", &analysis::Measures::arias},
    {"Значимая длительность D5–75", "с", &analysis::Measures::d5_75},
    {"Значимая длительность D5–95", "с", &analysis::Measures::d5_95},
    {"CAV", "м/с", &analysis::Measures::cav},
    {"CAVstd (окна с пиком ≥ 0,025 g)", "м/с", &analysis::Measures::cavStd},
    {"Интенсивность Хаузнера (5 %)", "м", &analysis::Measures::housner},
};

// The extensions of the files the readers take (the reader goes by the content, not by the
// name): PEER, K-NET and KiK-net (surface 2, borehole 1), COSMOS (V1 uncorrected, V2 corrected,
// "c" for the files of a CESMD download), the program's own, and columns of numbers.
const char* const kRecordExtensions[] = {"at2", "ns",  "ew",  "ud",  "ns1", "ew1", "ud1",
                                         "ns2", "ew2", "ud2", "v1",  "v2",  "v1c", "v2c",
                                         "aks", "brl", "txt", "csv", "dat", "asc", "acc"};

}  // namespace

QString recordFileFilter() {
  // Every extension in lower case, upper case and, for COSMOS, as the network names them
  // (".V2c"): the dialog's filter need not be case-blind on every platform.
  QStringList patterns;
  for (const char* ext : kRecordExtensions) {
    const QString lower = QString::fromLatin1(ext);
    for (const QString& form : {lower, lower.toUpper()})
      if (!patterns.contains(QStringLiteral("*.") + form)) patterns << QStringLiteral("*.") + form;
    if (lower.endsWith(QLatin1Char('c')) && lower.startsWith(QLatin1Char('v')))
      patterns << QStringLiteral("*.") + lower.left(2).toUpper() + QLatin1Char('c');
  }
  return tr8("Записи (%1);;Все файлы (*)").arg(patterns.join(QLatin1Char(' ')));
}

QFileDialog* openRecordsDialog(QWidget* parent, const QString& folder) {
  auto* dialog = new QFileDialog(parent, tr8("Открыть записи"), folder, recordFileFilter());
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  return dialog;
}

RecordsPage::RecordsPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("RecordsPage"));
  task_ = new BackgroundTask(this);

  QHBoxLayout* buttons = buildButtons();
  buildList();
  buildMeasures();
  QWidget* plots = buildPlots();

  auto* left = new QWidget(this);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(list_, 1);
  leftLayout->addWidget(measuresTitle_);
  leftLayout->addWidget(measures_);
  leftLayout->addWidget(new TaskProgress(*task_, left));

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(left);
  split->addWidget(plots);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setSizes({580, 520});
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(split, 1);

  connect(remove_, &QPushButton::clicked, this, &RecordsPage::removeClicked);
  connect(baseline_, &QPushButton::clicked, this, &RecordsPage::baselineClicked);
  connect(send_, &QPushButton::clicked, this, &RecordsPage::sendClicked);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &RecordsPage::listSelectionChanged);
  connect(&session_, &AnalysisSession::recordsChanged, this, &RecordsPage::fillList);
  connect(&session_, &AnalysisSession::selectionChanged, this, &RecordsPage::showSelection);
  connect(&session_, &AnalysisSession::measuresChanged, this, &RecordsPage::showMeasures);
  fillList();
  showSelection();
}

// The row of actions over the list, with the step for one-column records.
QHBoxLayout* RecordsPage::buildButtons() {
  auto* open = button("ButtonOpen", "Открыть записи…", this);
  remove_ = button("ButtonRemove", "Удалить", this);
  baseline_ = button("ButtonBaseline", "Коррекция базовой линии", this);
  send_ = button("ButtonSend", "Отправить в главное окно", this);
  open->setToolTip(tr8("AT2, K-NET, COSMOS, столбцы, *.aks, *.brl; файлы можно перетащить в окно"));
  baseline_->setToolTip(tr8("Добавить в список копию записи без дрейфа скорости и смещения"));
  send_->setToolTip(tr8("Открыть запись в главном окне как акселерограмму (*.aks)"));
  step_ = new QLineEdit(this);
  step_->setObjectName(QStringLiteral("EditStep"));
  step_->setMaximumWidth(80);
  step_->setPlaceholderText(tr8("из файла"));
  step_->setToolTip(
      tr8("Шаг по времени для файлов из одного столбца ускорений; у других файлов свой шаг"));
  step_->setText(session_.settings().value(QStringLiteral("records/step")).toString());
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open);
  auto* stepLabel = new QLabel(tr8(kStepCaption), this);
  stepLabel->setBuddy(step_);
  buttons->addWidget(stepLabel);
  buttons->addWidget(step_);
  for (QPushButton* b : {remove_, baseline_, send_}) buttons->addWidget(b);
  buttons->addStretch(1);
  connect(open, &QPushButton::clicked, this, &RecordsPage::openClicked);
  return buttons;
}

// The list of the session's records.
void RecordsPage::buildList() {
  list_ = new QTableWidget(0, 6, this);
  list_->setObjectName(QStringLiteral("RecordsTable"));
  list_->setHorizontalHeaderLabels({tr8("Запись"), tr8("Формат"), tr8("Шаг, с"), tr8("Отсчётов"),
                                    tr8("Длительность, с"), tr8("PGA, g")});
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  // Names of one station's components and of a corrected copy differ at their ends: a name too
  // long for its column loses its middle, and the whole name is in the tool tip.
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setWordWrap(false);
  list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < 6; ++c)
    list_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

// The intensity measures of the selected record, every row in sight (after buildList, whose
// rows it sizes alike).
void RecordsPage::buildMeasures() {
  measuresTitle_ = new QLabel(tr8("Меры интенсивности"), this);
  measures_ = new QTableWidget(static_cast<int>(std::size(kMeasureRows)), 3, this);
  measures_->setObjectName(QStringLiteral("MeasuresTable"));
  measures_->setHorizontalHeaderLabels({tr8("Мера"), tr8("Значение"), tr8("Ед.")});
  measures_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  measures_->verticalHeader()->hide();
  measures_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  measures_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  measures_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  const int row = fontMetrics().height() + 6;
  for (QTableWidget* table : {list_, measures_})
    table->verticalHeader()->setDefaultSectionSize(row);
  // The nine measures all in sight, without a scroll bar.
  measures_->setMinimumHeight(row * measures_->rowCount() + row + 8);
  for (int r = 0; r < measures_->rowCount(); ++r) {
    measures_->setItem(r, 0, new QTableWidgetItem(tr8(kMeasureRows[r].name)));
    measures_->setItem(r, 1, new QTableWidgetItem);
    measures_->setItem(r, 2, new QTableWidgetItem(tr8(kMeasureRows[r].unit)));
    measures_->item(r, 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
}

// The selected record's acceleration, velocity and displacement, one above the other.
QWidget* RecordsPage::buildPlots() {
  auto* plots = new QSplitter(Qt::Vertical, this);
  const char* titles[3][2] = {
      {"Ускорение", "a, м/с²"}, {"Скорость", "v, м/с"}, {"Смещение", "d, м"}};
  const char* names[3] = {"PlotAcceleration", "PlotVelocity", "PlotDisplacement"};
  for (int i = 0; i < 3; ++i) {
    plots_[i] = new Plot(plots);
    plots_[i]->setObjectName(QString::fromLatin1(names[i]));
    plots_[i]->setTitle(tr8(titles[i][0]));
    plots_[i]->setAxes(tr8("t, с"), false, tr8(titles[i][1]), false);
    plots_[i]->chart()->legend()->hide();
    plots_[i]->setExportFolder([this] { return session_.lastFolder(); },
                               [this](const QString& f) { session_.setLastFolder(f); });
    plots->addWidget(plots_[i]);
  }
  return plots;
}

void RecordsPage::openClicked() {
  QStringList paths;
  if (openHook_) {
    paths = openHook_();
  } else {
    QFileDialog* dialog = openRecordsDialog(this, session_.lastFolder());
    if (dialog->exec() == QDialog::Accepted) paths = dialog->selectedFiles();
    delete dialog;
  }
  if (paths.isEmpty()) return;
  session_.setLastFolder(QFileInfo(paths.constFirst()).absolutePath());
  openFiles(paths);
}

int RecordsPage::openFiles(const QStringList& paths) {
  records::Reading reading;
  session_.settings().setValue(QStringLiteral("records/step"), step_->text().trimmed());
  // The messages that ask for a step name the field to fill, as the command line names --step.
  reading.stepOption = "поле «" + std::string(kStepCaption) + "»";
  std::optional<double> step;
  QString text = step_->text().trimmed();
  if (!text.isEmpty()) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    double dt = 0;
    if (!analysis::parseNumber(text.toStdString(), dt) || !(dt > 0) || !std::isfinite(dt)) {
      showErrorBox(this, msg::withFullStop(reading.stepOption + ": ожидается число секунд больше "
                                                                "нуля, например 0.01"));
      return 0;
    }
    step = dt;
  }
  int added = 0;
  for (const QString& path : paths) {
    try {
      try {
        session_.add(records::readRecord(path.toStdString(), reading));
      } catch (const AppError&) {
        // The field is the step of files without one of their own; a file that states its step
        // keeps it, and any other fault is the first read's to report.
        if (!step) throw;
        records::Reading withStep = reading;
        withStep.step = step;
        session_.add(records::readRecord(path.toStdString(), withStep));
      }
      added++;
    } catch (...) {
      showErrorBox(this, userMessage(std::current_exception()));
    }
  }
  return added;
}

void RecordsPage::fillList() {
  filling_ = true;
  const auto& loaded = session_.records();
  list_->setRowCount(static_cast<int>(loaded.size()));
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    const records::Record& r = loaded[i].record;
    const double duration = static_cast<double>(r.accel.size() - 1) * r.dt;
    const QString cells[6] = {QString::fromStdString(r.name),
                              QString::fromStdString(r.format),
                              shown(r.dt),
                              QString::number(r.accel.size()),
                              shown(duration),
                              shown(peakOf(r.accel) / records::kStandardGravity, 4)};
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (c == 0)
        item->setToolTip(r.path.empty()
                             ? cells[0]
                             : cells[0] + QLatin1Char('\n') + QString::fromStdString(r.path));
      list_->setItem(static_cast<int>(i), c, item);
    }
  }
  filling_ = false;
}

void RecordsPage::listSelectionChanged() {
  if (filling_) return;
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(index.row()));
  session_.select(std::move(rows));
}

void RecordsPage::showSelection() {
  filling_ = true;
  QItemSelection rows;
  for (std::size_t i : session_.selection()) {
    const int r = static_cast<int>(i);
    rows.select(list_->model()->index(r, 0), list_->model()->index(r, 5));
  }
  list_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
  filling_ = false;

  const LoadedRecord* current = session_.current();
  for (QPushButton* b : {remove_, baseline_, send_}) b->setEnabled(current != nullptr);
  for (Plot* plot : plots_) plot->clear();
  if (current) {
    const records::Record& r = current->record;
    std::vector<double> velocity, displacement;
    motionFromRest(r.accel, r.dt, velocity, displacement);
    const QString name = QString::fromStdString(r.name);
    plots_[0]->addSeries(name, timeHistory(r.accel, r.dt));
    plots_[1]->addSeries(name, timeHistory(velocity, r.dt));
    plots_[2]->addSeries(name, timeHistory(displacement, r.dt));
  }
  for (Plot* plot : plots_) plot->refresh();
  showMeasures();
  if (current && !current->measures) computeMeasures();
}

void RecordsPage::showMeasures() {
  const LoadedRecord* current = session_.current();
  measuresTitle_->setText(
      current ? tr8("Меры интенсивности: %1").arg(QString::fromStdString(current->record.name))
              : tr8("Меры интенсивности"));
  for (int r = 0; r < measures_->rowCount(); ++r) {
    const bool known = current && current->measures;
    measures_->item(r, 1)->setText(known ? shown((*current->measures).*kMeasureRows[r].value)
                                         : QString());
  }
}

void RecordsPage::computeMeasures() {
  const LoadedRecord* current = session_.current();
  if (!current) return;
  const std::uint64_t id = current->id;
  const records::Record record = current->record;
  const unsigned threads = std::max(1, QThread::idealThreadCount());
  task_->start<analysis::Measures>(
      [record, threads](const TaskControl& control) {
        control.report(0, tr8("Меры интенсивности"));
        return analysis::computeMeasures(record.accel, record.dt, analysis::Peaks::Refined,
                                         threads);
      },
      [this, id](analysis::Measures& m) { session_.setMeasures(id, m); });
}

void RecordsPage::removeClicked() { session_.remove(session_.selection()); }

void RecordsPage::baselineClicked() {
  const LoadedRecord* current = session_.current();
  if (!current) return;
  records::Record copy = current->record;
  try {
    matching::correctBaseline(copy.accel, copy.dt);
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return;
  }
  copy.name += " (БЛ)";
  session_.add(std::move(copy));
}

void RecordsPage::sendClicked() {
  const LoadedRecord* current = session_.current();
  if (!current) return;
  session_.sendToMain(current->record, this);
}

}  // namespace accelspec
