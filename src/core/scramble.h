#pragma once
// The airline codes, aircraft-type codes and registrations of the downloaded data base (and the
// registrations of the registration-code list) are stored scrambled; the readers unscramble
// every such field before they store it.
//
// A stored code is the mark '~', then the plain code with every character shifted within
// kScrambleAlphabet (wrapping around) by a shift that depends on the kind of code and the
// position, then one check character. Characters outside the alphabet stay as they are. The
// empty code is stored empty. A stored code never holds a blank, comma or semicolon unless the
// plain code did, so stored lists can be split and trimmed before they are unscrambled.
//
//   shift(kind, i) = (kScrambleKey[(i + offset(kind)) % 8] + i) % 64
//   check(kind)    = kScrambleAlphabet[(sum of value(c) + 11 x offset(kind) + length) % 64]
// with offset 0 for airlines, 3 for types, 5 for registrations, and value(c) the index of c in
// the alphabet, or its byte value for a character outside it.

#include <array>
#include <string>
#include <string_view>

inline constexpr std::string_view kScrambleAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_";
inline constexpr char kScrambleMark = '~';
inline constexpr std::array<int, 8> kScrambleKey = {13, 41, 7, 29, 53, 17, 3, 37};

enum class CodeKind : int { Airline = 0, Type = 3, Regcode = 5 };

// One step of the scrambling: c moved `shift` places along the alphabet, wrapping around;
// a character outside the alphabet is returned unchanged.
char gf_shiftCode(char c, int shift);

// The plain code. A code without the mark is taken as already plain and returned as it is
// (gf_unscrambleAirline warns "Unencrypted airline {} in decrypt airl?"); a marked code that
// fails its check gives the empty text and a warning ("decrypt airl \"{}\" error" for airlines).
std::string gf_unscrambleAirline(std::string_view stored);
std::string gf_unscrambleType(std::string_view stored);
std::string gf_unscrambleRegcode(std::string_view stored);
