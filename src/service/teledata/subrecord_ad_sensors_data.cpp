#include "service/teledata/subrecord_ad_sensors_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField DigitalInputs(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .shown = Shown::kBits, .presentIn = 0, .presentBit = bit};
}

constexpr DeclaredField AnalogSensor(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .width = 3, .presentIn = 2, .presentBit = bit};
}

constexpr DeclaredField kFields[] = {
    {.name = "DIOE", .label = "Digital Inputs Exist", .shown = Shown::kBits},
    {.name = "DOUT", .label = "Digital Outputs", .shown = Shown::kBits},
    {.name = "ASFE", .label = "Analog Sensors Exist", .shown = Shown::kBits},
    DigitalInputs("ADIO1", "Digital Inputs 1", 0), DigitalInputs("ADIO2", "Digital Inputs 2", 1),
    DigitalInputs("ADIO3", "Digital Inputs 3", 2), DigitalInputs("ADIO4", "Digital Inputs 4", 3),
    DigitalInputs("ADIO5", "Digital Inputs 5", 4), DigitalInputs("ADIO6", "Digital Inputs 6", 5),
    DigitalInputs("ADIO7", "Digital Inputs 7", 6), DigitalInputs("ADIO8", "Digital Inputs 8", 7),
    AnalogSensor("ANS1", "Analog Sensor 1", 0), AnalogSensor("ANS2", "Analog Sensor 2", 1),
    AnalogSensor("ANS3", "Analog Sensor 3", 2), AnalogSensor("ANS4", "Analog Sensor 4", 3),
    AnalogSensor("ANS5", "Analog Sensor 5", 4), AnalogSensor("ANS6", "Analog Sensor 6", 5),
    AnalogSensor("ANS7", "Analog Sensor 7", 6), AnalogSensor("ANS8", "Analog Sensor 8", 7),
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_AD_SENSORS_DATA::kFieldCount);

Subrecord_AD_SENSORS_DATA::Subrecord_AD_SENSORS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_AD_SENSORS_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
