#pragma once
// A packet that carries the emergency call's data twice, as ECALL_MSD_DATA
// (SRT 50, byte-aligned) and as RAW_MSD_DATA (SRT 40, the encoded MSD),
// should say the same in both. Each decoded RAW_MSD_DATA is compared, field
// by field, with the packet's first ECALL_MSD_DATA: message identifier,
// the three control flags, vehicle type, VIN, propulsion, time, position,
// direction, recent positions and passengers. Every difference becomes a
// check of the RAW_MSD_DATA subrecord.

#include <string>
#include <vector>

#include "service/ecall/msd_decoder.h"
#include "service/packet.h"
#include "service/ecall/subrecord_ecall_msd_data.h"

namespace EGTS::Msd {

// One text per field in which the two differ ("ECALL_MSD_DATA and
// RAW_MSD_DATA differ in timestamp: 1367878452 against 1367878453"); only
// the parts the decoding holds are compared.
void AppendMsdDifferences(const Subrecord_ECALL_MSD_DATA& fields, const MsdDecoding& raw,
                          std::vector<std::string>& checks);

// Compares within the packet, as described above.
void CompareMsdSubrecords(Packet& packet);

}  // namespace EGTS::Msd
