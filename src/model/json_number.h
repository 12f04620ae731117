// Number texts of the JSON engine.
//
// Floats are written in the shortest decimal form that reads back to the same
// value of the float's own width (a 32-bit 0.9f writes "0.9", never
// "0.8999999761581421"). Layout, with d1d2..dn the shortest digits and kk the
// decimal exponent such that value = 0.d1d2..dn x 10^kk:
//   - plain form when -5 < kk <= 16 for 64-bit values (<= 13 for 32-bit):
//       "123.45", "0.00012"; an integral value keeps ".0" ("1.0", "1e15" as
//       "1000000000000000.0");
//   - otherwise scientific: "d" or "d.ddd", then "e", then kk-1 in decimal with
//     "-" when negative, no "+", no zero padding ("1e-7", "1.5e20", "1e16");
//   - zero is "0.0" and negative zero "-0.0".
// A float that is infinite or NaN has no JSON form: the writer puts null.
//
// For long arrays of floats: write_json_f32 writes the text into a buffer,
// scan_json_f32 reads one number without the reader.
#pragma once

#include <cstddef>
#include <string>

namespace vesk {

// Appends the JSON number text of a finite value (the caller handles
// non-finite values).
void append_json_f64(std::string& out, double v);
void append_json_f32(std::string& out, float v);

// The same text written at p, which must have kJsonF32Room bytes of room
// (bytes behind the text may be overwritten): returns the end of the text,
// at most kJsonF32MaxChars long. For writers of many floats.
inline constexpr size_t kJsonF32MaxChars = 16;  // "-1234567890123.0"
inline constexpr size_t kJsonF32Room = 32;
char* write_json_f32(char* p, float v);

// The 32-bit float nearest to the decimal text [start, end), given `d`, the
// 64-bit float nearest to it. Narrowing d is right except where d falls
// exactly halfway between two 32-bit floats (rounding twice can then pick the
// wrong one, so that a float's own shortest text would not read back as the
// float): there the text itself is rounded once.
float narrow_decimal(double d, const char* start, const char* end);

// Reads the JSON number that starts at p (the text ends at end) as
// JsonReader::read_f32 reads it: the same grammar and bit for bit the same
// float (an integer converted from its 64-bit value, anything else rounded
// once to the nearest 32-bit float). Returns the end of the number, or
// nullptr when the reader would refuse the text (no number there, bad syntax,
// a value beyond the 32-bit range) or when the text lies outside this path
// (an integer of more than 19 digits, an exponent of more than 4 digits, a
// value that underflows); the caller then leaves the text to the reader, which
// gives the value or the exact error. What follows the number is not looked at.
const char* scan_json_f32(const char* p, const char* end, float& out);

// The plain decimal form used inside error messages: the shortest digits
// without an exponent, with ".0" added when no point would show
// ("1e20" -> "100000000000000000000.0", "0.5" -> "0.5", "inf", "NaN").
std::string display_f64(double v);

}  // namespace vesk
