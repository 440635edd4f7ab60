// Quarvi::SetupParameters: the framework's 116 blank parameter objects take
// their definitions from the parameter table, row by row.
#include "Formatters.h"
#include "ParamTable.h"
#include "Quarvi.h"

static_assert(kNumParams == kParamTableSize, "one table row per parameter");

void Quarvi::SetupParameters() {
  for (int i = 0; i < kParamTableSize; ++i) {
    const ParamSpec& s = kParamTable[i];
    IPlugParam* p = GetParam(i);
    if (!p) continue;
    switch (s.kind) {
      case ParamKind::Bool:
        p->SetupBool(s.name, s.defaultValue != 0.0);
        break;
      case ParamKind::Int:
        p->SetupInt(s.name, static_cast<int>(s.defaultValue), static_cast<int>(s.min),
                    static_cast<int>(s.max));
        break;
      case ParamKind::Enum:
        p->SetupEnum(s.name, static_cast<int>(s.defaultValue), s.textCount, s.texts);
        break;
      default:
        p->SetupDouble(s.name, s.defaultValue, s.min, s.max, s.step, s.shape);
        break;
    }
    // "Voices" starts with the plain count; the LFO rates start numeric.
    // ParamChanged switches these two kinds when "Unison" or "LFOSyn n" change.
    p->formatter = FormatterFor(s.display);
  }
}
