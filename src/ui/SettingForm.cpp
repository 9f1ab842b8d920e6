// The settings window's controls; what they do is in SettingFormActions.cpp.
#include "ui/SettingForm.h"

#include "base/CodePage.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/Fonts.h"
#include "ui/WindowFront.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

template <typename Widget, typename... Args>
Widget* Make(const char* name, QWidget* parent, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)..., parent);
  widget->setObjectName(name);
  return widget;
}

QLabel* MakeLabel(const char* name, const char* text, QWidget* parent) {
  return Make<QLabel>(name, parent, QString::fromUtf8(text));
}

// The framed line at the top of each tab that says what it is for.
QLabel* MakeHeading(const char* name, const char* text, QWidget* parent) {
  QLabel* heading = MakeLabel(name, text, parent);
  heading->setFrameShape(QFrame::Panel);
  heading->setFrameShadow(QFrame::Sunken);
  heading->setMargin(4);
  return heading;
}

// A tab page: its heading, then the rest from top to bottom.
QWidget* MakePage(const char* name, QVBoxLayout*& layout) {
  auto* page = new QWidget;
  page->setObjectName(name);
  layout = new QVBoxLayout(page);
  return page;
}

QComboBox* MakeNumberCombo(const char* name, int last, QWidget* parent) {
  QComboBox* combo = Make<QComboBox>(name, parent);
  combo->setEditable(true);
  for (int i = 0; i <= last; ++i)
    combo->addItem(QString::number(i));
  return combo;
}

// Keeps a caption within its byte limit in CP932, as the field always
// refused typing beyond it.
void LimitCp932Bytes(QLineEdit* edit, size_t maxBytes) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, maxBytes](const QString& text) {
    if (Cp932ByteLength(text.toStdString()) <= maxBytes)
      return;
    QString kept;
    for (const QChar* p = text.constData(); !p->isNull();) {
      const int width = p->isHighSurrogate() ? 2 : 1;
      const QString next = kept + QString(p, width);
      if (Cp932ByteLength(next.toStdString()) > maxBytes)
        break;
      kept = next;
      p += width;
    }
    const int cursor = std::min(edit->cursorPosition(), static_cast<int>(kept.size()));
    edit->setText(kept);
    edit->setCursorPosition(cursor);
  });
}

} // namespace

TSettingForm::TSettingForm(QWidget* parent) : QDialog(parent) {
  MakeOwnWindow(*this);
  setObjectName("SettingForm");
  setWindowTitle(QString::fromUtf8("各種設定 - Teloria　II"));
  QFont font = ProportionalGothic(9);
  font.setPixelSize(12);
  setFont(font);

  PageControl1 = Make<QTabWidget>("PageControl1", this);
  TabSheet1 = CreateConnectionTab();
  TabSheet2 = CreateBehaviourTab();
  TabSheet3 = CreateDisplayTab();
  TabSheet4 = CreateStartTab();
  TabSheet5 = CreateShareTab();
  PageControl1->addTab(TabSheet1, QString::fromUtf8("接続"));
  PageControl1->addTab(TabSheet2, QString::fromUtf8("動作"));
  PageControl1->addTab(TabSheet3, QString::fromUtf8("表示"));
  PageControl1->addTab(TabSheet4, QString::fromUtf8("起動"));
  PageControl1->addTab(TabSheet5, QString::fromUtf8("共有"));

  OkButton = Make<QPushButton>("OkButton", this, "OK");
  OkButton->setDefault(true);
  CancelButton = Make<QPushButton>("CancelButton", this, QString::fromUtf8("キャンセル"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  setFixedSize(484, 432);

  MirelCheckTimer.setObjectName("MirelCheckTimer");
  MirelCheckTimer.setInterval(1000);
  ConnectHandlers();

  // FormCreate
  FillFromSettings(AppSettings);
  MirelCheckTimerTimer();
  PageControl1->setCurrentIndex(0);
  MirelCheckTimer.start();
}

TSettingForm::~TSettingForm() = default;

QWidget* TSettingForm::CreateConnectionTab() {
  QVBoxLayout* layout = nullptr;
  QWidget* page = MakePage("TabSheet1", layout);
  layout->addWidget(MakeHeading("Panel2", "Mirelの接続ポートを設定します", page));
  QGroupBox* group = Make<QGroupBox>("GroupBox2", page, QString::fromUtf8("接続ポート"));
  auto* grid = new QGridLayout(group);
  MirelKT5PortCombo = Make<QComboBox>("MirelKT5PortCombo", group);
  MirelKT5PortCombo->setEditable(true);
  MirelKT5PortCombo->setInsertPolicy(QComboBox::NoInsert);
  MirelKT5PortAutoCheck =
      Make<QCheckBox>("MirelKT5PortAutoCheck", group, QString::fromUtf8("自動設定"));
  MirelStatusLabel = MakeLabel("MirelStatusLabel", "", group);
  MirelConnResetButton =
      Make<QPushButton>("MirelConnResetButton", group, QString::fromUtf8("接続リセット"));
  MirelConnResetButton->setEnabled(false);
  grid->addWidget(MakeLabel("Label1", "ポート名", group), 0, 0);
  grid->addWidget(MirelKT5PortCombo, 0, 1);
  grid->addWidget(MirelKT5PortAutoCheck, 0, 2);
  grid->addWidget(MakeLabel("Label6", "現在の状態:", group), 1, 0);
  grid->addWidget(MirelStatusLabel, 1, 1, 1, 2);
  grid->addWidget(MirelConnResetButton, 2, 2);
  grid->setColumnStretch(1, 1);
  layout->addWidget(group);
  MemoryCatchUpCheck = Make<QCheckBox>(
      "MemoryCatchUpCheck", page, QString::fromUtf8("接続時に本体メモリの着信を履歴に取り込む"));
  layout->addWidget(MemoryCatchUpCheck);
  layout->addStretch();
  return page;
}

QWidget* TSettingForm::CreateBehaviourTab() {
  QVBoxLayout* layout = nullptr;
  QWidget* page = MakePage("TabSheet2", layout);
  layout->addWidget(MakeHeading("Panel3", "電話着信時の動作を設定します", page));

  QGroupBox* display = Make<QGroupBox>("GroupBox1", page);
  auto* displayLayout = new QHBoxLayout(display);
  IncomingNoticeRadio =
      Make<QRadioButton>("IncomingNoticeRadio", display, QString::fromUtf8("簡易ウィンドウを出す"));
  IncomingDetailRadio =
      Make<QRadioButton>("IncomingDetailRadio", display, QString::fromUtf8("詳細ウィンドウを出す"));
  displayLayout->addWidget(IncomingNoticeRadio);
  displayLayout->addWidget(IncomingDetailRadio);
  layout->addWidget(display);

  QGroupBox* preview = Make<QGroupBox>("GroupBox6", page);
  auto* previewLayout = new QVBoxLayout(preview);
  ShowIncomingPreviewCheck =
      Make<QCheckBox>("ShowIncomingPreviewCheck", preview,
                      QString::fromUtf8("着信予告表示を簡易ウィンドウに表示する"));
  PlayPreviewSoundCheck = Make<QCheckBox>("PlayPreviewSoundCheck", preview,
                                          QString::fromUtf8("着信予告時、PCから音を出す"));
  previewLayout->addWidget(ShowIncomingPreviewCheck);
  previewLayout->addWidget(PlayPreviewSoundCheck);
  previewLayout->addWidget(CreateSoundPanel());
  layout->addWidget(preview);

  layout->addWidget(CreateClockRow());
  IncomingExecCmdCheck =
      Make<QCheckBox>("IncomingExecCmdCheck", page, QString::fromUtf8("起動コマンドを実行する"));
  layout->addWidget(IncomingExecCmdCheck);
  layout->addStretch();
  return page;
}

QWidget* TSettingForm::CreateSoundPanel() {
  auto* panel = new QWidget;
  panel->setObjectName("Panel6");
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(16, 0, 0, 0);
  UseDefaultSoundRadio =
      Make<QRadioButton>("UseDefaultSoundRadio", panel, QString::fromUtf8("標準音声使用"));
  SpecificSoundFileRadio =
      Make<QRadioButton>("SpecificSoundFileRadio", panel, QString::fromUtf8("音声ファイル指定"));
  SoundFileNameEdit = Make<QLineEdit>("SoundFileNameEdit", panel);
  SelectSoundFileButton =
      Make<QPushButton>("SelectSoundFileButton", panel, QString::fromUtf8("選択"));
  grid->addWidget(UseDefaultSoundRadio, 0, 0, 1, 3);
  grid->addWidget(SpecificSoundFileRadio, 1, 0);
  grid->addWidget(SoundFileNameEdit, 1, 1);
  grid->addWidget(SelectSoundFileButton, 1, 2);
  grid->setColumnStretch(1, 1);
  return panel;
}

QWidget* TSettingForm::CreateClockRow() {
  auto* box = new QWidget;
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  SetAutoDateTimeCheck =
      Make<QCheckBox>("SetAutoDateTimeCheck", box, QString::fromUtf8("時刻設定する（1日1回）"));
  ExecHourCombo = MakeNumberCombo("ExecHourCombo", 23, box);
  ExecMinuteCombo = MakeNumberCombo("ExecMinuteCombo", 59, box);
  ManualDateTimeButton =
      Make<QPushButton>("ManualDateTimeButton", box, QString::fromUtf8("時刻設定"));
  auto* time = new QHBoxLayout;
  time->addWidget(ExecHourCombo);
  time->addWidget(MakeLabel("Label2", "時", box));
  time->addWidget(ExecMinuteCombo);
  time->addWidget(MakeLabel("Label7", "分に自動設定する", box));
  time->addStretch();
  grid->addWidget(SetAutoDateTimeCheck, 0, 0);
  grid->addLayout(time, 0, 1);
  grid->addWidget(MakeLabel("Label8", "手動で時刻設定する", box), 1, 0);
  grid->addWidget(ManualDateTimeButton, 1, 1, Qt::AlignLeft);
  return box;
}

QWidget* TSettingForm::CreateDisplayTab() {
  QVBoxLayout* layout = nullptr;
  QWidget* page = MakePage("TabSheet3", layout);
  layout->addWidget(MakeHeading("Panel4", "表示文字サイズの設定をします", page));
  QGroupBox* sizes = Make<QGroupBox>("GroupBox3", page, QString::fromUtf8("文字サイズ"));
  auto* sizeLayout = new QHBoxLayout(sizes);
  fontButtons_ = new QButtonGroup(this);
  fontButtons_->setExclusive(true);
  const auto makeSize = [&](const char* name, const char* caption, int id) {
    QToolButton* button = Make<QToolButton>(name, sizes);
    button->setText(QString::fromUtf8(caption));
    button->setCheckable(true);
    button->setMinimumSize(48, 32);
    fontButtons_->addButton(button, id);
    sizeLayout->addWidget(button);
    return button;
  };
  FontSmallButton = makeSize("FontSmallButton", "小", 0);
  FontMiddleButton = makeSize("FontMiddleButton", "中", 1);
  FontLargeButton = makeSize("FontLargeButton", "大", 2);
  sizeLayout->addStretch();
  layout->addWidget(sizes);
  layout->addWidget(CreateCaptionGroup());
  layout->addStretch();
  return page;
}

QGroupBox* TSettingForm::CreateCaptionGroup() {
  QGroupBox* group = new QGroupBox(QString::fromUtf8("項目名"));
  group->setObjectName("GroupBox4");
  auto* grid = new QGridLayout(group);
  Memo1CaptionEdit = CreateCaptionEdit("Memo1CaptionEdit");
  Memo2CaptionEdit = CreateCaptionEdit("Memo2CaptionEdit");
  Memo3CaptionEdit = CreateCaptionEdit("Memo3CaptionEdit");
  grid->addWidget(MakeLabel("Label3", "メモ1の表示名", group), 0, 0);
  grid->addWidget(Memo1CaptionEdit, 0, 1);
  grid->addWidget(MakeLabel("Label4", "メモ2の表示名", group), 1, 0);
  grid->addWidget(Memo2CaptionEdit, 1, 1);
  grid->addWidget(MakeLabel("Label5", "メモ3の表示名", group), 2, 0);
  grid->addWidget(Memo3CaptionEdit, 2, 1);
  grid->setColumnStretch(2, 1);
  return group;
}

QLineEdit* TSettingForm::CreateCaptionEdit(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setFixedWidth(140);
  LimitCp932Bytes(edit, MemoCaptionMaxBytes);
  return edit;
}

QWidget* TSettingForm::CreateStartTab() {
  QVBoxLayout* layout = nullptr;
  QWidget* page = MakePage("TabSheet4", layout);
  layout->addWidget(MakeHeading("Panel5", "本プログラム起動方法の設定をします", page));
  QGroupBox* group = Make<QGroupBox>("GroupBox5", page, QString::fromUtf8("ログオン時に起動"));
  auto* groupLayout = new QVBoxLayout(group);
  AutoRunCheck = Make<QCheckBox>("AutoRunCheck", group, QString::fromUtf8("自動起動"));
  groupLayout->addWidget(AutoRunCheck);
  layout->addWidget(group);
  layout->addStretch();
  return page;
}

QWidget* TSettingForm::CreateShareTab() {
  QVBoxLayout* layout = nullptr;
  QWidget* page = MakePage("TabSheet5", layout);
  layout->addWidget(
      MakeHeading("Panel7", "MQTTブローカーを通じて、ほかのPCと着信を共有します", page));
  QGroupBox* mode = Make<QGroupBox>("GroupBox7", page, QString::fromUtf8("共有方法"));
  auto* modeLayout = new QVBoxLayout(mode);
  ShareOffRadio = Make<QRadioButton>("ShareOffRadio", mode, QString::fromUtf8("共有しない"));
  ShareSendRadio = Make<QRadioButton>("ShareSendRadio", mode,
                                      QString::fromUtf8("このPCの着信を送信する（Mirel接続PC）"));
  ShareReceiveRadio = Make<QRadioButton>("ShareReceiveRadio", mode,
                                         QString::fromUtf8("ブローカーから着信を受信する"));
  modeLayout->addWidget(ShareOffRadio);
  modeLayout->addWidget(ShareSendRadio);
  modeLayout->addWidget(ShareReceiveRadio);
  layout->addWidget(mode);
  // The name travels in every topic and message: other PCs take only these.
  QLabel* names = MakeLabel("Label16",
                            "ステーション名（設定ファイルの Station。空ならホスト名）に使える文字は"
                            "半角英数字と「_」「-」の64文字までです。ほかの文字は「_」になります。",
                            page);
  names->setWordWrap(true);
  layout->addWidget(names);
  layout->addWidget(CreateBrokerGroup());
  auto* state = new QHBoxLayout;
  ShareStatusLabel = MakeLabel("ShareStatusLabel", "", page);
  state->addWidget(MakeLabel("Label15", "現在の状態:", page));
  state->addWidget(ShareStatusLabel, 1);
  layout->addLayout(state);
  layout->addStretch();
  return page;
}

QWidget* TSettingForm::CreateBrokerGroup() {
  QGroupBox* group = Make<QGroupBox>("GroupBox8", nullptr, QString::fromUtf8("MQTTブローカー"));
  auto* grid = new QGridLayout(group);
  ShareHostEdit = Make<QLineEdit>("ShareHostEdit", group);
  SharePortEdit = Make<QLineEdit>("SharePortEdit", group);
  SharePortEdit->setFixedWidth(64);
  ShareUserEdit = Make<QLineEdit>("ShareUserEdit", group);
  SharePasswordEdit = Make<QLineEdit>("SharePasswordEdit", group);
  SharePasswordEdit->setEchoMode(QLineEdit::Password);
  ShareCaFileEdit = Make<QLineEdit>("ShareCaFileEdit", group);
  SelectCaFileButton = Make<QPushButton>("SelectCaFileButton", group, QString::fromUtf8("選択"));
  ShareTopicEdit = Make<QLineEdit>("ShareTopicEdit", group);
  ShareHomeAssistantCheck = Make<QCheckBox>("ShareHomeAssistantCheck", group,
                                            QString::fromUtf8("Home Assistant に自動登録する"));
  grid->addWidget(MakeLabel("Label9", "ホスト名", group), 0, 0);
  grid->addWidget(ShareHostEdit, 0, 1);
  grid->addWidget(MakeLabel("Label10", "ポート", group), 0, 2);
  grid->addWidget(SharePortEdit, 0, 3);
  grid->addWidget(MakeLabel("Label11", "ユーザー名", group), 1, 0);
  grid->addWidget(ShareUserEdit, 1, 1, 1, 3);
  grid->addWidget(MakeLabel("Label12", "パスワード", group), 2, 0);
  grid->addWidget(SharePasswordEdit, 2, 1, 1, 3);
  grid->addWidget(MakeLabel("Label13", "CA証明書", group), 3, 0);
  grid->addWidget(ShareCaFileEdit, 3, 1, 1, 2);
  grid->addWidget(SelectCaFileButton, 3, 3);
  grid->addWidget(MakeLabel("Label14", "トピック", group), 4, 0);
  grid->addWidget(ShareTopicEdit, 4, 1, 1, 3);
  grid->addWidget(ShareHomeAssistantCheck, 5, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  return group;
}
