#pragma once
// The example header 01 00 03 0B 00 00 00 01 00 01 B8 and the whole text
// that its check prints: the result line and the header report.

#include <string>

namespace testing_support {

inline const std::string kExampleHeaderHex = "0100030B000000010001B8";

inline const std::string kExampleHeaderReport =
    "\nEGTS Transport Layer:\n---------------------\n"
    "  Validating result   - 0 (OK)\n\n"
    "  Protocol Version    - 1\n"
    "  Security Key ID     - 0\n"
    "  Flags               - 00000011b (0x03)\n"
    "       Prefix         - 00\n"
    "       Route          -   0\n"
    "       Encryption Alg -    00\n"
    "       Compression    -      0\n"
    "       Priority       -       11 (low)\n"
    "  Header Length       - 11\n"
    "  Header Encoding     - 0\n"
    "  Frame Data Length   - 0\n"
    "  Packet ID           - 1\n"
    "  No route info       -\n"
    "  Header Check Sum    - 0xB8\n";

}  // namespace testing_support
