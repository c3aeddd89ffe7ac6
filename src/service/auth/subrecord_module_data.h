#pragma once
// EGTS_SR_MODULE_DATA (SRT 2, AUTH service): one module of the terminal.
// SRD layout (little-endian):
//   0  u8   MT    module type (1 main, 2 input/output, 3 navigation, 4 radio...)
//   1  u32  VID   vendor id
//   5  u16  FWV   firmware version: high byte major, low byte minor
//   7  u16  SWV   software version, the same way
//   9  u8   MD    modification
//  10  u8   ST    state: 1 on, 0 off, 128-255 fault
//  11  SRN  serial number, up to 32 bytes, then a NUL
//      DSCR description, up to 32 bytes, then a NUL
// Fewer than 11 bytes give 139; a string cut off by the end of the data is
// kept and noted.

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_MODULE_DATA : public DeclaredWith<8> {
 public:
  Subrecord_MODULE_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

// "on", "off", "fault", or null for states 2-127, which have no meaning.
const char* ModuleStateName(uint8_t st);

}  // namespace EGTS
