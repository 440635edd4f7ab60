#pragma once

// Exponential envelope with an optional delay stage. The attack heads for 10/9
// and the release for -1/9 so that both end at 1 and 0 in finite time; the
// decay approaches the sustain level. Envelope 1 steps once per sample, 2 and
// 3 once per control block: timeScale carries the difference.
class Envelope {
 public:
  enum Stage { kIdle = 0, kDelay = 1, kAttack = 2, kDecay = 3, kRelease = 4 };

  static constexpr double kAttackTarget = 10.0 / 9.0;
  static constexpr double kReleaseTarget = -1.0 / 9.0;
  // ln(10) per millisecond: envelopes that step once per control block.
  static constexpr double kControlRateTimeScale = 0.002302585092994046;

  double level = 0.0;
  bool single = false;  // legato: a trigger does not restart a running envelope
  int delayTicks = 0;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  int stage = kIdle;
  int delayLeft = 0;
  double timeScale = kControlRateTimeScale;
  double target = 0.0;
  double coefficient = 0.0;

  void Step() {
    if (stage == kIdle) return;
    level = level + (target - level) * coefficient;
    if (stage == kDelay) {
      if (level < 0) level = 0;
      if (delayLeft > 0) {
        --delayLeft;
        return;
      }
      EnterAttack();
    }
    if (stage == kAttack) {
      if (level >= 1) {
        level = 1;
        stage = kDecay;
        coefficient = Coefficient(decay);
        target = sustain;
      }
    } else if (level <= 0) {  // decay or release
      level = 0;
      stage = kIdle;
    }
  }

  void Trigger();
  void Release();

  // Parameter values 0..1; a change reaches a stage that is running.
  void SetAttack(double x);
  void SetDecay(double x);
  void SetSustain(double x);
  void SetRelease(double x);
  void SetDelay(double x);  // up to 10000 control blocks at x = 1

  // Fraction of the remaining distance covered per step for a stage value x.
  double Coefficient(double x) const;

 private:
  void EnterAttack();
};
