#include "search/identification.h"

#include <array>

namespace telvar {

namespace {

QString FoundLine(const QString& model) {
  return QStringLiteral("   : ОБНАРУЖЕН ПРИБОР <") + model + QStringLiteral("> ПО АДРЕСУ ");
}

// Second generation: the models of identifiers 1..21.
const std::array<const char*, 21> kModelsV2 = {
    "ОРСАН-Б",  "ОРСАН-Б-1",  "ТЕЛВАР-2",       "ТЕЛВАР-1",     "ОРСАН-ЦП",      "ОРСАН-Г",       "ОРСАН-ЦП-К",
    "ОРСАН-Д",  "ОРСАН-Д(Н)", "ОРСАН-Д",        "ОРСАН-ПР",     "ОРСАН-Т",       "ОРСАН-Ж",       "ТАРВИК-Л",
    "ТАРВИК-Р", "ДЕКСАР-Е",   "ОРСАН-ЦП(-К)-М", "ОРСАН-Г - V2", "ТЕЛВАР-1 - V2", "ТЕЛВАР-2 - V2", "ТЕЛВАР-3 - V2"};

}  // namespace

QString IdentificationLineV2(uint16_t modelId) {
  if (modelId >= 1 && modelId <= kModelsV2.size()) return FoundLine(QString::fromUtf8(kModelsV2[modelId - 1]));
  // The letter before НЕИЗВЕСТНЫМ is a Latin C in this program.
  return QStringLiteral("   : ОБНАРУЖЕН ПРИБОР C НЕИЗВЕСТНЫМ ID ПО АДРЕСУ ");
}

QString IdentificationLineV1(uint16_t modelId) {
  switch (modelId) {
    case 3: return FoundLine(QStringLiteral("ТЕЛВАР-2(EX)"));
    case 4: return FoundLine(QStringLiteral("ТЕЛВАР-1(EX)"));
    // Here the letter before НЕИЗВЕСТНЫМ is the Cyrillic С.
    default: return QStringLiteral("   : ОБНАРУЖЕН ПРИБОР С НЕИЗВЕСТНЫМ ID ПО АДРЕСУ ");
  }
}

}  // namespace telvar
