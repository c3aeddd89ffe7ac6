#include "transport/result_codes.h"

const char* ResultCodeText(unsigned code) {
  switch (static_cast<uint8_t>(code)) {
    case 0: return "OK";
    case 1: return "In progress";
    case 128: return "Unsupported protocol version";
    case 129: return "Decryption error";
    case 130: return "Processing denied";
    case 131: return "Header structure error";
    case 132: return "Data structure error";
    case 133: return "Unsupported type";
    case 134: return "No mandatory parameter";
    case 135: return "Processed already";
    case 136: return "Processing denied for sender";
    case 137: return "Header check sum error";
    case 138: return "Data check sum error";
    case 139: return "Incorrect data length";
    case 140: return "Route not found";
    case 141: return "Route closed";
    case 142: return "Route denied";
    case 143: return "Unknown address";
    case 144: return "TTL expired";
    case 145: return "No response";
    case 146: return "Object not found";
    case 147: return "Event not found";
    case 148: return "Service not found";
    case 149: return "Service denied";
    case 150: return "Unknown service";
    case 151: return "Authentification denied";
    case 152: return "Already exists";
    case 153: return "Identifier not found";
    case 154: return "Incorrect timestamp";
    case 155: return "IO error";
    case 156: return "No available resources";
    case 157: return "Module error";
    case 158: return "Module power source error";
    case 159: return "Module processor error";
    case 160: return "Module software fault";
    case 161: return "Module firmware fault";
    case 162: return "Module IO error";
    case 163: return "Module memory error";
    case 164: return "Test failed";
    case 165: return "Unknown service subrecord type";
    default: return "Unspecified";
  }
}
