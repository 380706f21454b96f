#include "app/tforma.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <exception>
#include <optional>

#include "app/chart_view.hpp"
#include "app/icons.hpp"
#include "app/response_progress.hpp"
#include "app/string_grid.hpp"
#include "app/treport.hpp"
#include "compute/response_spectrum.hpp"
#include "compute/spectrum_table.hpp"
#include "compute/synthesis.hpp"
#include "compute/time_window.hpp"
#include "data/messages.hpp"
#include "files/config.hpp"
#include "files/open_command.hpp"
#include "files/save_command.hpp"
#include "memory/memory.hpp"
#include "report/report.hpp"

namespace accelspec {

namespace {

const char* const kCaption = " Расчёт акселерограмм и спектров ответа.";
const char* const kOpenFilter =
    "Спектр воздействия  ( *.spv )|*.spv|Акселерограмма  ( *.aks )|*.aks|Спектр ответов  ( *.spo "
    ")|*.spo|Конфигурация  ( *.cfg )|*.cfg|BRUEL-акселерограмма  ( *.brl )|*.brl";

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
  parseFilter(QString::fromUtf8(kOpenFilter), openDialog_);
  saveDialog_.kind = FileDialogRequest::Kind::Save;
  saveDialog_.objectName = "SaveDialogFile";

  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { focusMoved(now); });
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &TForma::focusWindowMoved);
}

TForma::~TForma() = default;

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

  auto box = [this](const char* name, const char* caption, int x, int w) {
    auto* group = new QGroupBox(QString::fromUtf8(caption), panel2_);
    group->setObjectName(name);
    group->setGeometry(x, 1, w, 169);
    if (QStyle* style = groupBoxStyle()) group->setStyle(style);
    return group;
  };
  auto at = [](Edit e) { return static_cast<std::size_t>(e); };

  QGroupBox* aks = box("GroupBoxAks", " Для акселерограммы ", 1, 184);
  const struct {
    const char* label;
    Edit edit;
    const char* name;
    const char* text;
    int x;
  } aksRows[] = {
      {"Начальная частота, Гц", Edit::Fbeg, "EditFbeg", "2", 128},
      {"Конечная частота, Гц", Edit::Fend, "EditFend", "30", 128},
      {"Шаг по частоте, Гц", Edit::DF, "EditDF", "0.5", 128},
      {"Коэф. демпфирования", Edit::Psi, "EditPsi", "0.1", 128},
      {"Начальное время", Edit::Tbeg, "EditTbeg", "0", 104},
      {"Конечное время", Edit::Tend, "EditTend", "0", 104},
  };
  int y = 24;
  for (const auto& row : aksRows) {
    addLabel(aks, QString::fromUtf8(row.label), 8, y + 3);
    edits_[at(row.edit)] = addEdit(aks, row.name, row.text, row.x, y, 49);
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

  QGroupBox* time = box("GroupBoxTime", " Временные настройки ", 185, 185);
  const struct {
    const char* label;
    Edit edit;
    const char* name;
    const char* text;
  } timeRows[] = {
      {"Время воздействия", Edit::T, "EditT", "20"},
      {"Количество данных", Edit::ND, "EditND", "5000"},
      {"Шаг по времени", Edit::DT, "EditDT", "0.004"},
  };
  y = 24;
  for (const auto& row : timeRows) {
    addLabel(time, QString::fromUtf8(row.label), 8, y + 3);
    edits_[at(row.edit)] = addEdit(time, row.name, row.text, 120, y, 57);
    y += 24;
  }
  memo1_ = new QPlainTextEdit(time);
  memo1_->setObjectName("Memo1");
  memo1_->setGeometry(8, 96, 169, 69);
  memo1_->setTabChangesFocus(true);

  QGroupBox* spv = box("GroupBoxSpv", " Для спектра воздействий ", 370, 160);
  addLabel(spv, QString::fromUtf8("Количество точек спектра"), 12, 19);
  edits_[at(Edit::N)] = addEdit(spv, "EditN", "0", 40, 32, 65);
  gridSpv_ = new StringGrid({61, 62}, 6, 0, 1, spv);
  gridSpv_->setObjectName("StringGridSpv");
  gridSpv_->setGeometry(8, 60, 145, 105);
  gridSpv_->setSelectionMode(QAbstractItemView::ContiguousSelection);

  groupBoxMemory_ = box("GroupBoxMemory", "Работа с памятью", 530, 480);
  gridMemory_ = new StringGrid({37, 274, 132}, 7, 1, 1, groupBoxMemory_);
  gridMemory_->setObjectName("StringGridMemory");
  gridMemory_->setGeometry(24, 14, 449, 123);
  gridMemory_->setSelectionMode(QAbstractItemView::SingleSelection);
  gridMemory_->hide();

  using Handler = void (TForma::*)();
  const Handler chanelHandlers[] = {nullptr,
                                    &TForma::Chanel1Click,
                                    &TForma::Chanel2Click,
                                    &TForma::Chanel3Click,
                                    &TForma::Chanel4Click,
                                    &TForma::Chanel5Click,
                                    &TForma::Chanel6Click};
  for (int k = 1; k <= 6; ++k) {
    const int pitch = 17 * (k - 1);
    // The shadow first, so that the coloured star is drawn over it.
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
    shadowLabels_[static_cast<std::size_t>(k)] = star("t", kShadowColor, 11, 31 + pitch);
    starLabels_[static_cast<std::size_t>(k)] =
        star("k", kStarColors[static_cast<std::size_t>(k)], 10, 30 + pitch);

    auto* check = new QCheckBox(QString::number(k), groupBoxMemory_);
    check->setObjectName(QStringLiteral("Chanel%1").arg(k));
    check->setGeometry(27, 34 + pitch, 35, 14);
    check->setChecked(true);
    check->hide();
    connect(check, &QCheckBox::clicked, this, chanelHandlers[k]);
    chanels_[static_cast<std::size_t>(k)] = check;
  }
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

QString TForma::applicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void TForma::showError(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, applicationTitle(),
                  QString::fromStdString(msg::withFullStop(message)), QMessageBox::Ok, this);
  // Wide enough for its caption, which a narrow box would cut short.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

template <typename Command>
bool TForma::run(Command&& command) {
  // A cell being typed into holds its text already, as the commands that read the grids expect.
  gridSpv_->commitEditor(false);
  gridMemory_->commitEditor(false);
  std::optional<std::string> error;
  try {
    command();
  } catch (const std::exception& e) {
    error = e.what();
  }
  // The chart shows what the command drew, also when it stopped halfway.
  chart1_->sync(chartModel_);
  if (error) showError(*error);
  return !error;
}

void TForma::FormActivate() {
  run([&] { formActivate(store_, *this); });
}
bool TForma::FormClose() {
  return run([&] { formClose(store_, *this); });
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
  // Message boxes and file dialogs are modal, tool tips and menus are no forms: none of them
  // makes the next activation a new one. Another form of the program (the report preview) does.
  const Qt::WindowType type = window->type();
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
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace accelspec
