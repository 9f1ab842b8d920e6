#pragma once

// The ring sound, behind an interface so tests can see it ring.
class IRingSound {
public:
  virtual ~IRingSound() = default;
  virtual void PlayRingSound() = 0;
  virtual void StopRingSound() = 0;
};
