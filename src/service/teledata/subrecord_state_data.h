#pragma once
// EGTS_SR_STATE_DATA (SRT 21, or SRT 20 when SRL is 5; TELEDATA service):
// the terminal's mode and supply voltages. Always 5 bytes:
//   0  u8  ST    state: 0 passive, 1 ERA, 2 active, 3 emergency call,
//                4 emergency tracking, 5 testing, 6 car service,
//                7 firmware loading
//   1  u8  MPSV  main supply voltage in 0.1 V
//   2  u8  BBV   backup battery voltage in 0.1 V
//   3  u8  IBV   internal battery voltage in 0.1 V
//   4  u8  FLG   bit 2 NMS (navigation module on), bit 1 IBU (the external
//                backup supply powers the terminal), bit 0 BBU (the
//                internal battery powers it); bits 3-7 reserved
// IBU and BBU mean what the standard's text says, whatever their names.

#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_STATE_DATA : public DeclaredWith<8> {
 public:
  Subrecord_STATE_DATA();

  uint8_t ST() const { return static_cast<uint8_t>(Value(0)); }
  uint8_t FLG() const { return static_cast<uint8_t>(Value(4)); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
