#include "core/RingSound.h"

#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"

#include <QSoundEffect>
#include <QUrl>

TRingSound::TRingSound() = default;
TRingSound::~TRingSound() = default;

std::string TRingSound::SoundFile() {
  return AppSettings.UseDefaultSound ? FindShippedFile("ring.wav") : AppSettings.SoundFileName;
}

void TRingSound::PlayRingSound() {
  // Created on first use: a program that never rings opens no audio device.
  if (!effect_)
    effect_ = std::make_unique<QSoundEffect>();
  effect_->stop();
  effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(SoundFile())));
  effect_->play();
}

void TRingSound::StopRingSound() {
  if (effect_)
    effect_->stop();
}
