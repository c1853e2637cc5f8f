// The identification tables: the traffic-log line that names the model found
// by a search, one table per program. The device address (three digits)
// follows the line.
#pragma once

#include <cstdint>
#include <functional>

#include <QString>

namespace telvar {

using IdentificationTable = std::function<QString(uint16_t modelId)>;

// telvar_v210: identifiers 1..21; any other gives the unknown-id line.
QString IdentificationLineV2(uint16_t modelId);
// telvar_105: identifiers 3 and 4; any other gives the unknown-id line.
QString IdentificationLineV1(uint16_t modelId);

inline const QString kLineNotFound = QStringLiteral("   : ПРИБОР <ТЕЛВАР-1(2)> НЕ ОБНАРУЖЕН...");

}  // namespace telvar
