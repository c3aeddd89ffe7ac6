#include "service/auth/subrecord_disp_identity.h"

namespace EGTS {

void Subrecord_DISP_IDENTITY::Report(std::string*) const {}

}  // namespace EGTS
