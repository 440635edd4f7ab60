#include "Envelope.h"

#include <cmath>

double Envelope::Coefficient(double x) const { return std::pow(10.0, 2.3 - 4.5 * x) * timeScale; }

void Envelope::EnterAttack() {
  stage = kAttack;
  target = kAttackTarget;
  coefficient = Coefficient(attack);
}

void Envelope::Trigger() {
  // In single mode a running envelope carries on (legato). The level is never
  // reset: a new attack starts from wherever the envelope is.
  if (!single || stage == kIdle || stage == kRelease) {
    delayLeft = delayTicks;
    stage = kDelay;
  }
}

void Envelope::Release() {
  stage = kRelease;
  target = kReleaseTarget;
  coefficient = Coefficient(release);
}

void Envelope::SetAttack(double x) {
  attack = x;
  if (stage == kAttack) coefficient = Coefficient(attack);
}

void Envelope::SetDecay(double x) {
  decay = x;
  if (stage == kDecay) coefficient = Coefficient(decay);
}

void Envelope::SetSustain(double x) {
  sustain = x;
  if (stage == kDecay) target = sustain;
}

void Envelope::SetRelease(double x) {
  release = x;
  if (stage == kRelease) coefficient = Coefficient(release);
}

void Envelope::SetDelay(double x) {
  const double ticks = x * x * x * x * 10000.0;
  delayTicks = ticks < 1e9 ? static_cast<int>(ticks) : 1000000000;  // values beyond 1 stay finite
  if (stage == kDelay && delayLeft > delayTicks) delayLeft = delayTicks;
}
