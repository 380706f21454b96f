// SPDX-License-Identifier: MIT
#include "app/tforma.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>
#include <exception>
#include <optional>
#include <utility>

#include "accelspec_version.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/analysis_window.hpp"
#include "app/chart_view.hpp"
#include "app/error_box.hpp"
#include "app/help_window.hpp"
#include "app/icons.hpp"
#include "app/response_progress.hpp"
#include "app/string_grid.hpp"
#include "app/treport.hpp"
#include "compute/response_spectrum.hpp"
#include "compute/spectrum_table.hpp"
#include "compute/synthesis.hpp"
#include "compute/time_window.hpp"
#include "data/defaults.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/open_command.hpp"
#include "files/save_command.hpp"
#include "memory/memory.hpp"
#include "records/open_record.hpp"
#include "report/report.hpp"

namespace accelspec {

namespace {

const char* const kCaption = " Расчёт акселерограмм и спектров ответа.";

// Slot colours of the star labels, 1 … 6, and the grey of their shadows.
const std::array<QColor, 7> kStarColors = {QColor(),           QColor(0, 0, 0),   QColor(255, 0, 0),
                                           QColor(0, 128, 0),  QColor(0, 0, 128), QColor(128, 0, 0),
                                           QColor(255, 0, 255)};
const QColor kShadowColor(128, 128, 128);

QFont formFont(int points, bool bold = false) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "DejaVu Sans"});
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

// "label|pattern|label|pattern…" into its entries.
void parseFilter(const QString& filter, FileDialogRequest& request) {
  const QStringList parts = filter.split('|');
  request.labels.clear();
  request.patterns.clear();
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    request.labels.append(parts[i]);
    request.patterns.append(parts[i + 1]);
  }
}

// The name filter shown by the dialog: the label, with the pattern appended when the label
// does not already end in it.
QString nameFilter(const QString& label, const QString& pattern) {
  return label.trimmed().endsWith(')') ? label : label + " (" + pattern + ")";
}

// The form font, narrowed when a wider stand-in replaces the original face, so that the longest
// label still ends before its edit field.
QFont fittedFormFont() {
  QFont font = formFont(8);
  if (QFontInfo(font).family() == "MS Sans Serif") return font;
  const QString longest = QString::fromUtf8("Начальная частота, Гц");
  for (int stretch = 100; stretch > 70; stretch -= 2) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(longest) <= 116) break;
  }
  return font;
}

// Group boxes with the caption on the frame line, as the layout of the panel expects.
QStyle* groupBoxStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = QStyleFactory::create("Windows");
    if (style) style->setParent(qApp);
  }
  return style;
}

// The file list of the dialog in detail view: the size, kind and date columns as wide as their
// texts (Russian ones are long: "Текстовый документ", "19.12.2026 14:05"), the name taking the
// rest, in a dialog wide enough for all four.
void fitFileList(QFileDialog& dialog) {
  dialog.resize(std::max(dialog.width(), 820), std::max(dialog.height(), 460));
  auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!list) return;
  QHeaderView* header = list->header();
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(60);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < header->count(); ++column)
    header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

// The program's own file dialog (never the desktop's: that one would not take a name that does
// not exist for opening, and would not show the labels as they are written).
bool showFileDialog(QWidget* parent, FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setObjectName(request.objectName);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const bool open = request.kind == FileDialogRequest::Kind::Open;
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  // The open dialog accepts a name that does not exist (the command then reports it), and the
  // save dialog replaces a file without asking.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters;
  for (qsizetype i = 0; i < request.labels.size(); ++i)
    filters.append(nameFilter(request.labels[i], request.patterns.value(i)));
  dialog.setNameFilters(filters);
  // The dialog collapses runs of blanks in its entries; the labels are shown as written.
  if (auto* kinds = dialog.findChild<QComboBox*>("fileTypeCombo")) {
    for (int i = 0; i < kinds->count() && i < filters.size(); ++i)
      kinds->setItemText(i, filters[i]);
  }
  dialog.selectNameFilter(filters.value(request.filterIndex - 1));
  fitFileList(dialog);
  if (request.fileName.isEmpty()) {
    dialog.setDirectory(QDir::currentPath());
  } else {
    dialog.selectFile(request.fileName);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.fileName = dialog.selectedFiles().constFirst();
  const QString chosen = dialog.selectedNameFilter().simplified();
  request.filterIndex = 0;
  for (qsizetype i = 0; i < filters.size(); ++i)
    if (filters[i].simplified() == chosen) request.filterIndex = static_cast<int>(i) + 1;
  return true;
}

bool inside(const QWidget* widget, const QWidget* control) {
  return widget && control && (widget == control || control->isAncestorOf(widget));
}

}  // namespace

TForma::TForma(Store& store, TReport& report, QWidget* parent)
    : QWidget(parent), store_(store), report_(report) {
  setObjectName("Forma");
  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowIcon(icons::window());
  setFont(fittedFormFont());
  resize(1024, 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - QPoint(width() / 2, height() / 2));

  createToolBar();
  createParameterPanel();
  chart1_ = new ChartView(this);
  chart1_->setObjectName("Chart1");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(panel1_);
  layout->addWidget(panel2_);
  layout->addWidget(chart1_, 1);

  openDialog_.kind = FileDialogRequest::Kind::Open;
  openDialog_.objectName = "OpenDialogFile";
  parseFilter(QString::fromUtf8(msg::kOpenFilter.data(), std::ssize(msg::kOpenFilter)),
              openDialog_);
  saveDialog_.kind = FileDialogRequest::Kind::Save;
  saveDialog_.objectName = "SaveDialogFile";

  // F8 from anywhere in the window: no edit field or grid of it takes the key.
  auto* analysisKey = new QShortcut(QKeySequence(Qt::Key_F8), this);
  connect(analysisKey, &QShortcut::activated, this, &TForma::SpeedButtonAnalysisClick);

  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { focusMoved(now); });
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &TForma::focusWindowMoved);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &TForma::showContextHelp);
}

TForma::~TForma() {
  // The application outlives this window: no signal of it may reach the window while QWidget
  // takes its children (the guide among them) down, when this is a TForma no longer.
  if (qApp) disconnect(qApp, nullptr, this, nullptr);
  delete help_;
}

QToolButton* TForma::addToolButton(QWidget* parent, const char* name, int x, const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(true);
  button->setGeometry(x, 4, 22, 22);
  button->setIconSize(QSize(16, 16));
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

void TForma::createToolBar() {
  panel1_ = new QFrame(this);
  panel1_->setObjectName("Panel1");
  panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel1_->setFixedHeight(30);

  struct Button {
    const char* name;
    int x;
    const char* hint;
    QIcon icon;
    const char* caption;
    void (TForma::*handler)();
  };
  const Button buttons[] = {
      {"SpeedButtonOpen", 40, "Открыть файл", icons::open(), nullptr,
       &TForma::SpeedButtonOpenClick},
      {"SpeedButtonSave", 80, "Сохранить файл", icons::save(), nullptr,
       &TForma::SpeedButtonSaveClick},
      {"SpeedButtonReport", 144, "", icons::report(), nullptr, &TForma::SpeedButtonReportClick},
      {"SpeedButtonPreview", 184, "", icons::preview(), nullptr, &TForma::SpeedButtonPreviewClick},
      {"SpeedButtonAks", 248, "Рассчитать акселерограмму по спектру воздействия",
       icons::synthesis(), nullptr, &TForma::SpeedButtonAksClick},
      {"SpeedButtonSpo", 288, "Рассчитать спектр ответа по акселерограмме",
       icons::responseSpectrum(), nullptr, &TForma::SpeedButtonSpoClick},
      {"SpeedButtonMemory", 608, "Взять график в память", QIcon(), "M",
       &TForma::SpeedButtonMemoryClick},
      {"SpeedButtonDelete", 656, "Удалить график из памяти", QIcon(), "D",
       &TForma::SpeedButtonDeleteClick},
      {"SpeedButtonVisual", 704, "Отобразить выбранные графики", QIcon(), "V",
       &TForma::SpeedButtonVisualClick},
      {"SpeedButtonAnalysis", 768, "Инженерный анализ", icons::analysis(), nullptr,
       &TForma::SpeedButtonAnalysisClick},
      {"SpeedButtonHelp", 808, "Справка", QIcon(), "?", &TForma::SpeedButtonHelpClick},
      {"SpeedButtonAbout", 848, "О программе", QIcon(), "i", &TForma::SpeedButtonAboutClick},
  };
  for (const Button& b : buttons) {
    QToolButton* button = addToolButton(panel1_, b.name, b.x, QString::fromUtf8(b.hint));
    if (b.caption) {
      button->setText(b.caption);
      button->setFont(formFont(10, true));
    } else {
      button->setIcon(b.icon);
    }
    connect(button, &QToolButton::clicked, this, b.handler);
  }
  // The report is reachable only from these two, and they stay hidden.
  panel1_->findChild<QToolButton*>("SpeedButtonReport")->hide();
  panel1_->findChild<QToolButton*>("SpeedButtonPreview")->hide();
}

QLabel* TForma::addLabel(QWidget* box, const QString& text, int x, int y) {
  auto* label = new QLabel(text, box);
  label->move(x, y);
  label->adjustSize();
  return label;
}

QLineEdit* TForma::addEdit(QWidget* box, const char* name, const QString& text, int x, int y,
                           int w) {
  auto* edit = new QLineEdit(text, box);
  edit->setObjectName(name);
  edit->setGeometry(x, y, w, 21);
  return edit;
}

void TForma::createParameterPanel() {
  panel2_ = new QFrame(this);
  panel2_->setObjectName("Panel2");
  panel2_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel2_->setFixedHeight(171);
  createAksBox();
  createTimeBox();
  createSpvBox();
  createMemoryBox();
}

QGroupBox* TForma::addGroupBox(const char* name, const char* caption, int x, int w) {
  auto* group = new QGroupBox(QString::fromUtf8(caption), panel2_);
  group->setObjectName(name);
  group->setGeometry(x, 1, w, 169);
  if (QStyle* style = groupBoxStyle()) group->setStyle(style);
  return group;
}

void TForma::addParameterRow(QWidget* box, Edit which, const char* name, int x, int y, int w) {
  const std::string_view caption = fieldCaption(which);
  addLabel(box, QString::fromUtf8(caption.data(), std::ssize(caption)), 8, y + 3);
  // The default in the user's own form, so that the field reads back what it shows.
  const QString text = QString::fromStdString(defaultFieldText(which, decimalSeparator()));
  edits_[static_cast<std::size_t>(which)] = addEdit(box, name, text, x, y, w);
}

void TForma::createAksBox() {
  QGroupBox* aks = addGroupBox("GroupBoxAks", " Для акселерограммы ", 1, 184);
  const struct {
    Edit edit;
    const char* name;
    int x;
  } rows[] = {
      {Edit::Fbeg, "EditFbeg", 128}, {Edit::Fend, "EditFend", 128}, {Edit::DF, "EditDF", 128},
      {Edit::Psi, "EditPsi", 128},   {Edit::Tbeg, "EditTbeg", 104}, {Edit::Tend, "EditTend", 104},
  };
  int y = 24;
  for (const auto& row : rows) {
    addParameterRow(aks, row.edit, row.name, row.x, y, 49);
    y += 24;
  }
  auto* timeButton = new QToolButton(aks);
  timeButton->setObjectName("SpeedButtonTime");
  timeButton->setFocusPolicy(Qt::NoFocus);
  timeButton->setAutoRaise(true);
  timeButton->setGeometry(156, 120, 23, 45);
  timeButton->setIconSize(QSize(19, 40));
  timeButton->setIcon(icons::timeWindow());
  connect(timeButton, &QToolButton::clicked, this, &TForma::SpeedButtonTimeClick);
}

void TForma::createTimeBox() {
  QGroupBox* time = addGroupBox("GroupBoxTime", " Временные настройки ", 185, 185);
  addParameterRow(time, Edit::T, "EditT", 120, 24, 57);
  addParameterRow(time, Edit::ND, "EditND", 120, 48, 57);
  addParameterRow(time, Edit::DT, "EditDT", 120, 72, 57);
  memo1_ = new QPlainTextEdit(time);
  memo1_->setObjectName("Memo1");
  memo1_->setGeometry(8, 96, 169, 69);
  memo1_->setTabChangesFocus(true);
}

void TForma::createSpvBox() {
  QGroupBox* spv = addGroupBox("GroupBoxSpv", " Для спектра воздействий ", 370, 160);
  const std::string_view caption = fieldCaption(Edit::N);
  addLabel(spv, QString::fromUtf8(caption.data(), std::ssize(caption)), 12, 19);
  edits_[static_cast<std::size_t>(Edit::N)] =
      addEdit(spv, "EditN", QString::fromStdString(defaultFieldText(Edit::N, decimalSeparator())),
              40, 32, 65);
  gridSpv_ = new StringGrid({61, 62}, 6, 0, 1, spv);
  gridSpv_->setObjectName("StringGridSpv");
  gridSpv_->setGeometry(8, 60, 145, 105);
  gridSpv_->setSelectionMode(QAbstractItemView::ContiguousSelection);
}

void TForma::createMemoryBox() {
  groupBoxMemory_ = addGroupBox("GroupBoxMemory", "Работа с памятью", 530, 480);
  gridMemory_ = new StringGrid({37, 274, 132}, 7, 1, 1, groupBoxMemory_);
  gridMemory_->setObjectName("StringGridMemory");
  gridMemory_->setGeometry(24, 14, 449, 123);
  gridMemory_->setSelectionMode(QAbstractItemView::SingleSelection);
  gridMemory_->hide();
  for (int k = 1; k <= kMaxSlots; ++k) addSlotControls(k);
}

// Slot k's check box and its star drawn over a grey shadow, one grid row below slot k − 1's.
void TForma::addSlotControls(int k) {
  using Handler = void (TForma::*)();
  static constexpr Handler kChanelHandlers[] = {nullptr,
                                                &TForma::Chanel1Click,
                                                &TForma::Chanel2Click,
                                                &TForma::Chanel3Click,
                                                &TForma::Chanel4Click,
                                                &TForma::Chanel5Click,
                                                &TForma::Chanel6Click};
  const auto slot = static_cast<std::size_t>(k);
  const int pitch = kGridRowPitch * (k - 1);
  auto star = [&](const char* suffix, const QColor& color, int x, int top) {
    auto* label = new QLabel("*", groupBoxMemory_);
    label->setObjectName(QStringLiteral("Label%1%2").arg(k).arg(suffix));
    label->setFont(formFont(18, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(x, top, 12, 29);
    label->hide();
    return label;
  };
  // The shadow first, so that the coloured star is drawn over it.
  shadowLabels_[slot] = star("t", kShadowColor, 11, 31 + pitch);
  starLabels_[slot] = star("k", kStarColors[slot], 10, 30 + pitch);

  auto* check = new QCheckBox(QString::number(k), groupBoxMemory_);
  check->setObjectName(QStringLiteral("Chanel%1").arg(k));
  check->setGeometry(27, 34 + pitch, 35, 14);
  check->setChecked(true);
  check->hide();
  connect(check, &QCheckBox::clicked, this, kChanelHandlers[k]);
  chanels_[slot] = check;
}

// Form

char TForma::decimalSeparator() const {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point[0].unicode() > 32 && point[0].unicode() < 128)
    return static_cast<char>(point[0].unicode());
  return '.';
}

QLineEdit* TForma::edit(Edit which) const { return edits_.at(static_cast<std::size_t>(which)); }

StringGrid* TForma::grid(Grid which) const { return which == Grid::Spv ? gridSpv_ : gridMemory_; }

std::string TForma::text(Edit which) const { return edit(which)->text().toStdString(); }

void TForma::setText(Edit which, const std::string& text) {
  edit(which)->setText(QString::fromStdString(text));
}

void TForma::clearMemo() { memo1_->clear(); }

int TForma::rowCount(Grid which) const { return grid(which)->rowCount(); }

void TForma::setRowCount(Grid which, int rows) { grid(which)->setRows(rows); }

std::string TForma::cell(Grid which, int col, int row) const {
  return grid(which)->cellText(col, row).toStdString();
}

void TForma::setCell(Grid which, int col, int row, const std::string& text) {
  grid(which)->setCellText(col, row, QString::fromStdString(text));
}

int TForma::memoryCurrentRow() const { return gridMemory_->currentGridRow(); }

void TForma::setMemoryGridVisible(bool visible) { gridMemory_->setVisible(visible); }

void TForma::setMemoryGridHeight(int pixels) {
  gridMemory_->resize(gridMemory_->width(), std::max(pixels, 0));
}

void TForma::setSlotControlsVisible(int slot, bool visible) {
  if (slot < 1 || slot > 6) return;
  const auto k = static_cast<std::size_t>(slot);
  chanels_[k]->setVisible(visible);
  starLabels_[k]->setVisible(visible);
  shadowLabels_[k]->setVisible(visible);
}

bool TForma::slotChecked(int slot) const {
  if (slot < 1 || slot > 6) return false;
  return chanels_[static_cast<std::size_t>(slot)]->isChecked();
}

bool TForma::executeOpenDialog() { return runFileDialog(openDialog_); }

std::string TForma::openDialogFileName() const { return openDialog_.fileName.toStdString(); }

void TForma::setSaveDialogFilter(const std::string& filter) {
  parseFilter(QString::fromStdString(filter), saveDialog_);
  saveDialog_.filterIndex = 1;
  saveDialog_.fileName =
      QString::fromStdString(offeredSaveName(saveDialog_.fileName.toStdString(), filter));
}

bool TForma::executeSaveDialog() { return runFileDialog(saveDialog_); }

std::string TForma::saveDialogFileName() const { return saveDialog_.fileName.toStdString(); }

bool TForma::runFileDialog(FileDialogRequest& kept) {
  FileDialogRequest request = kept;
  bool confirmed = false;
  if (dialogHook_) {
    confirmed = dialogHook_(request);
  } else {
    confirmed = showFileDialog(this, request);
  }
  if (!confirmed || request.fileName.isEmpty()) return false;
  if (request.filterIndex < 1 || request.filterIndex > request.labels.size())
    request.filterIndex = kept.filterIndex;

  // A name typed without an extension gets the extension of the kind chosen; an existing file
  // of that bare name is opened as it stands.
  QString name = QDir::current().absoluteFilePath(request.fileName);
  const QString pattern = request.patterns.value(request.filterIndex - 1);
  const bool bareExists = request.kind == FileDialogRequest::Kind::Open && QFileInfo::exists(name);
  if (QFileInfo(name).suffix().isEmpty() && !bareExists && pattern.startsWith("*.") &&
      pattern.size() > 2 && !pattern.mid(1).contains('*'))
    name += pattern.mid(1);
  kept.fileName = QDir::cleanPath(name);
  kept.filterIndex = request.filterIndex;
  return true;
}

// Commands

QString TForma::applicationTitle() { return accelspec::applicationTitle(); }

template <typename Command>
bool TForma::run(Command&& command) {
  // A cell being typed into holds its text already, as the commands that read the grids expect.
  gridSpv_->commitEditor(false);
  gridMemory_->commitEditor(false);
  std::optional<std::string> error;
  try {
    command();
  } catch (...) {
    error = userMessage(std::current_exception());
  }
  // The chart shows what the command drew, also when it stopped halfway.
  chart1_->sync(chartModel_);
  if (error) showErrorBox(this, *error);
  return !error;
}

void TForma::FormActivate() {
  run([&] { lifecycle_.formActivate(store_, *this); });
  // Taken first: a file's error box brings another activation, which must not open it again.
  const QStringList files = std::exchange(startFiles_, {});
  for (const QString& file : files) openNamedFile(file);
}

void TForma::openNamedFile(const QString& file) {
  FileDialogHook kept = std::move(dialogHook_);
  dialogHook_ = [&file](FileDialogRequest& request) {
    request.fileName = file;
    const QString suffix = "*." + QFileInfo(file).suffix();
    for (qsizetype i = 0; i < request.patterns.size(); ++i)
      if (request.patterns[i].compare(suffix, Qt::CaseInsensitive) == 0)
        request.filterIndex = static_cast<int>(i) + 1;
    return true;
  };
  SpeedButtonOpenClick();
  dialogHook_ = std::move(kept);
}
bool TForma::FormClose() {
  std::string notice;
  const bool closed = run([&] { notice = lifecycle_.formClose(store_, *this); });
  if (closed && !notice.empty()) showErrorBox(this, notice, QMessageBox::Warning);
  return closed;
}
void TForma::SpeedButtonOpenClick() {
  run([&] { openFile(store_, *this); });
}
void TForma::SpeedButtonSaveClick() {
  run([&] { saveFile(store_, *this); });
}
void TForma::SpeedButtonReportClick() {
  run([&] { fillReport(store_, report_.page(), decimalSeparator()); });
}
void TForma::SpeedButtonPreviewClick() {
  run([&] { report_.preview(this); });
}
void TForma::SpeedButtonAksClick() {
  run([&] { synthesizeAccelerogram(store_, *this); });
}
void TForma::SpeedButtonSpoClick() {
  run([&] {
    ResponseProgressDialog progress(this);
    computeResponseSpectrum(store_, *this, &progress);
  });
}
void TForma::SpeedButtonTimeClick() {
  run([&] { cutTimeWindow(store_, *this); });
}
void TForma::SpeedButtonMemoryClick() {
  run([&] { takeIntoMemory(store_, *this); });
}
void TForma::SpeedButtonDeleteClick() {
  run([&] { deleteFromMemory(store_, *this); });
}
void TForma::SpeedButtonVisualClick() {
  run([&] { overlayMemory(store_, *this); });
}
void TForma::SpeedButtonAnalysisClick() { openAnalysisWindow().showAndRaise(); }
void TForma::EditNExit() {
  run([&] { editNExit(store_, *this); });
}
void TForma::StringGridSpvExit() {
  run([&] { stringGridSpvExit(store_, *this); });
}
void TForma::Chanel1Click() {
  run([&] { toggleSlot(store_, *this, 1); });
}
void TForma::Chanel2Click() {
  run([&] { toggleSlot(store_, *this, 2); });
}
void TForma::Chanel3Click() {
  run([&] { toggleSlot(store_, *this, 3); });
}
void TForma::Chanel4Click() {
  run([&] { toggleSlot(store_, *this, 4); });
}
void TForma::Chanel5Click() {
  run([&] { toggleSlot(store_, *this, 5); });
}
void TForma::Chanel6Click() {
  run([&] { toggleSlot(store_, *this, 6); });
}

AnalysisWindow& TForma::openAnalysisWindow() {
  if (analysis_) return *analysis_;
  analysis_ = std::make_unique<AnalysisWindow>();
  MainWindowLink& link = analysis_->session().link();
  link.sendRecord = [this](const records::Record& record) {
    return run([&] { openRecord(store_, *this, record); });
  };
  link.spectrumTable = [this] {
    SpectrumTable table;
    for (std::int32_t j = 1; j <= store_.N && j <= kMaxSpectrumPoints; ++j) {
      table.frequencies.push_back(static_cast<double>(store_.SpF[j]));
      table.amplitudes.push_back(static_cast<double>(store_.SpA[j]));
    }
    return table;
  };
  link.linearGrid = [this] {
    // The fields in the user's form; the grid text takes points.
    auto field = [this](Edit which) {
      return edit(which)->text().trimmed().replace(QLatin1Char(decimalSeparator()), '.');
    };
    return QStringLiteral("lin:%1:%2:%3")
        .arg(field(Edit::Fbeg), field(Edit::Fend), field(Edit::DF))
        .toStdString();
  };
  link.showHelp = [this](const QString& topic) { showHelp(topic); };
  link.raise = [this] {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
  };
  return *analysis_;
}

// Events

TForma::FocusArea TForma::areaOf(QWidget* widget) const {
  if (inside(widget, edit(Edit::N))) return FocusArea::EditN;
  if (inside(widget, gridSpv_)) return FocusArea::Spv;
  return FocusArea::Other;
}

void TForma::focusMoved(QWidget* now) {
  // Only a move to another control of this window leaves a control: the focus going to a
  // message box, a dialog or another program, and coming back, leaves nothing.
  if (!now || now->window() != this) return;
  const FocusArea left = lastArea_;
  lastArea_ = areaOf(now);
  if (left == lastArea_) return;
  if (left == FocusArea::EditN) EditNExit();
  if (left == FocusArea::Spv) {
    gridSpv_->commitEditor();
    StringGridSpvExit();
  }
}

void TForma::focusWindowMoved(QWindow* window) {
  if (!window || window == windowHandle()) return;
  // The guide is read beside the window: coming back from it is no new activation.
  if (help_ && window == help_->windowHandle()) return;
  // Message boxes and file dialogs are modal, tool tips and menus are no forms: none of them
  // makes the next activation a new one. Another form of the program (the report preview) does.
  const Qt::WindowType type = window->type();
  // The analysis window is a workbench beside this form, not another form: going there and
  // back is no new activation.
  if (analysis_ && window == analysis_->windowHandle()) return;
  if (window->modality() == Qt::NonModal && (type == Qt::Window || type == Qt::Dialog))
    ownFocus_ = false;
}

bool TForma::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !ownFocus_) {
    ownFocus_ = true;
    // Queued: a message box opened inside the activation would reorder the activation events.
    QMetaObject::invokeMethod(this, &TForma::FormActivate, Qt::QueuedConnection);
  }
  return QWidget::event(event);
}

void TForma::closeEvent(QCloseEvent* event) {
  if (FormClose()) {
    if (analysis_) analysis_->close();
    if (help_) help_->close();
    event->accept();
  } else {
    event->ignore();
  }
}

HelpWindow* TForma::helpWindow() {
  if (!help_) help_ = new HelpWindow(this);
  return help_;
}

void TForma::showHelp(const QString& topic) { helpWindow()->showTopic(topic); }

void TForma::SpeedButtonHelpClick() { showHelp({}); }

void TForma::SpeedButtonAboutClick() {
  QMessageBox::about(
      this, QString::fromUtf8("О программе"),
      QString::fromUtf8("<p><b>accelspec %1</b></p>"
                        "<p>Акселерограммы и спектры ответа для инженеров-сейсмиков.</p>"
                        "<p>Лицензия MIT. © 2026 accelspec developers.</p>"
                        "<p>Qt %2.</p>")
          .arg(QString::fromLatin1(kVersion), QString::fromLatin1(qVersion())));
}

void TForma::showContextHelp() {
  // The nearest control, from the widget itself up through its parents, that has its place.
  auto topicOf = [this](QWidget* widget, bool focusable) -> QString {
    for (QWidget* w = widget; w && w != this; w = w->parentWidget()) {
      const QString topic = helpTopicForControl(w->objectName());
      if (topic.isEmpty()) continue;
      if (!focusable && w->focusPolicy() != Qt::NoFocus) return {};
      return topic;
    }
    return {};
  };
  QWidget* hovered = QApplication::widgetAt(QCursor::pos());
  if (hovered && hovered->window() != this) hovered = nullptr;
  QWidget* focused = QApplication::focusWidget();
  if (focused && focused->window() != this) focused = nullptr;
  // Tool buttons take no focus: pointing at one is the only way to ask about it.
  QString topic = topicOf(hovered, false);
  if (topic.isEmpty()) topic = topicOf(focused, true);
  if (topic.isEmpty()) topic = topicOf(hovered, true);
  if (topic.isEmpty()) topic = helpTopicForControl(objectName());
  showHelp(topic);
}

}  // namespace accelspec
