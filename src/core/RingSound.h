#pragma once

#include "core/IRingSound.h"

#include <memory>
#include <string>

class QSoundEffect;

// Plays the ring sound without waiting: ring.wav shipped with the program, or
// the file the user chose. Stop silences it.
class TRingSound final : public IRingSound {
public:
  TRingSound();
  ~TRingSound() override;
  TRingSound(const TRingSound&) = delete;
  TRingSound& operator=(const TRingSound&) = delete;

  // The file PlayRingSound would play under the current settings.
  static std::string SoundFile();
  void PlayRingSound() override;
  void StopRingSound() override;

private:
  std::unique_ptr<QSoundEffect> effect_;
};
