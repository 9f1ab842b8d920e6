#pragma once

#include <QDialog>
#include <QTimer>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;
class TAppSettings;
struct TShareSettings;

// The settings window: every user setting on four tabs, the live state of
// the adapter's connection, a connection reset and a manual clock setting.
// One instance, kept; closing hides it.
class TSettingForm final : public QDialog {
  Q_OBJECT
public:
  explicit TSettingForm(QWidget* parent = nullptr);
  ~TSettingForm() override;

  // Handlers, named after their controls; none lets an exception out.
  void OkButtonClick();
  void CancelButtonClick();
  void MirelCheckTimerTimer();
  void MirelConnResetButtonClick();
  void ManualDateTimeButtonClick();
  void SelectSoundFileButtonClick();
  void MirelKT5PortAutoCheckClick();
  void PlayPreviewSoundCheckClick();
  void SoundRadioClick();
  void SetAutoDateTimeCheckClick();
  void ShareModeRadioClick();
  void SelectCaFileButtonClick();

  // Controls and their settings.
  void FillFromSettings(const TAppSettings& settings);
  // False (after switching the tab and telling the user) on invalid input.
  bool CollectSettings(TAppSettings& settings);

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QWidget* TabSheet4 = nullptr;
  QWidget* TabSheet5 = nullptr;
  QComboBox* MirelKT5PortCombo = nullptr;
  QCheckBox* MirelKT5PortAutoCheck = nullptr;
  QLabel* MirelStatusLabel = nullptr;
  QPushButton* MirelConnResetButton = nullptr;
  QRadioButton* IncomingNoticeRadio = nullptr;
  QRadioButton* IncomingDetailRadio = nullptr;
  QCheckBox* ShowIncomingPreviewCheck = nullptr;
  QCheckBox* PlayPreviewSoundCheck = nullptr;
  QRadioButton* UseDefaultSoundRadio = nullptr;
  QRadioButton* SpecificSoundFileRadio = nullptr;
  QLineEdit* SoundFileNameEdit = nullptr;
  QPushButton* SelectSoundFileButton = nullptr;
  QCheckBox* SetAutoDateTimeCheck = nullptr;
  QComboBox* ExecHourCombo = nullptr;
  QComboBox* ExecMinuteCombo = nullptr;
  QPushButton* ManualDateTimeButton = nullptr;
  QCheckBox* IncomingExecCmdCheck = nullptr;
  QToolButton* FontSmallButton = nullptr;
  QToolButton* FontMiddleButton = nullptr;
  QToolButton* FontLargeButton = nullptr;
  QLineEdit* Memo1CaptionEdit = nullptr;
  QLineEdit* Memo2CaptionEdit = nullptr;
  QLineEdit* Memo3CaptionEdit = nullptr;
  QCheckBox* AutoRunCheck = nullptr;
  QCheckBox* MemoryCatchUpCheck = nullptr;
  QRadioButton* ShareOffRadio = nullptr;
  QRadioButton* ShareSendRadio = nullptr;
  QRadioButton* ShareReceiveRadio = nullptr;
  QLineEdit* ShareHostEdit = nullptr;
  QLineEdit* SharePortEdit = nullptr;
  QLineEdit* ShareUserEdit = nullptr;
  QLineEdit* SharePasswordEdit = nullptr;
  QLineEdit* ShareCaFileEdit = nullptr;
  QPushButton* SelectCaFileButton = nullptr;
  QLineEdit* ShareTopicEdit = nullptr;
  QCheckBox* ShareHomeAssistantCheck = nullptr;
  QLabel* ShareStatusLabel = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QTimer MirelCheckTimer;

  // A memo caption holds at most this many bytes in CP932.
  static constexpr int MemoCaptionMaxBytes = 14;

protected:
  void reject() override;

private:
  // Construction, one tab each.
  QWidget* CreateConnectionTab();
  QWidget* CreateBehaviourTab();
  QWidget* CreateDisplayTab();
  QWidget* CreateStartTab();
  QWidget* CreateShareTab();
  QWidget* CreateBrokerGroup();
  QWidget* CreateSoundPanel();
  QWidget* CreateClockRow();
  QGroupBox* CreateCaptionGroup();
  QLineEdit* CreateCaptionEdit(const char* name);
  void ConnectHandlers();

  // Parts of the handlers.
  void RefreshPortItems();
  void ShowConnectionState();
  bool CollectSound(TAppSettings& settings);
  bool CollectClock(TAppSettings& settings);
  void FillShare(const TShareSettings& share);
  bool CollectShare(TShareSettings& share);
  void ShowShareState();
  void Refuse(QWidget* tab, const char* message);
  bool SaveSettings(const TAppSettings& edited);

  QButtonGroup* fontButtons_ = nullptr;
};
