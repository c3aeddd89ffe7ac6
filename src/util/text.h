#pragma once
// Text helpers shared by every report: printf-style formatting into a
// std::string of any length, and the bit-pattern text of a bit field.

#include <cstddef>
#include <cstdint>
#include <string>

// MinGW's compiler checks "printf" formats against Microsoft's C library;
// the C library linked there is MinGW's C99 one (%zu, %lld), which its
// headers name __MINGW_PRINTF_FORMAT.
#if defined(__MINGW_PRINTF_FORMAT)
#define KORVANE_PRINTF(fmt, args) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, args)))
#elif defined(__GNUC__)
#define KORVANE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KORVANE_PRINTF(fmt, args)
#endif

// Formats like snprintf, without a length limit.
std::string StringPrintf(const char* format, ...) KORVANE_PRINTF(1, 2);

// n characters, bit n-1 first: '1' for a set bit, '0' for a clear one.
std::string BitString(uint32_t value, unsigned n);

// Every byte as two upper-case hexadecimal digits ("%.2X"), no separators.
std::string HexText(const uint8_t* data, std::size_t size);

// Text in code page CP-1251 as UTF-8. Every byte maps to a character
// (0x98, unassigned in CP-1251, becomes U+FFFD); control bytes are kept.
std::string Cp1251ToUtf8(const uint8_t* data, std::size_t size);

// UTF-8 text for a report line: control characters (below 0x20 and 0x7F)
// as \xNN, so a report never carries raw control bytes.
std::string EscapeControls(const std::string& utf8);

// A name from outside (a file in the incoming directory) for a text or log
// line: control characters (below 0x20, 0x7F, and U+0080 to U+009F) and
// bytes that are not well-formed UTF-8 as \xNN, one per byte, so a name can
// neither move the cursor nor clear the operator's screen.
std::string EscapeName(const std::string& name);
