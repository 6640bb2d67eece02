#pragma once
// The sentence checksum: XOR of every byte after the leading '$' up to the
// '*', written as two upper-case hexadecimal digits.

#include <cstdint>
#include <span>
#include <string>

namespace mzt {

uint8_t XorBytes(std::span<const uint8_t> bytes);

// Appends "*", the two digits of the checksum over body[1..], CR and LF.
// `body` starts with its '$'.
void AppendChecksum(std::string& body);

// Whether the bytes end in '*' and two hexadecimal digits (either case): the
// only place where a carriage return ends a reply, since a reply may carry
// raw bytes, a 13 among them.
bool EndsWithChecksumSuffix(std::span<const uint8_t> bytes);

// The receiver's check of a collected sentence (without its line end): it
// starts with '$', and the XOR from index 1 up to its closing '*' (the first
// '*' when the sentence does not end in one and two digits; up to the last
// byte when there is none) equals the last two bytes read as hexadecimal.
bool HasValidChecksum(std::span<const uint8_t> sentence);

}  // namespace mzt
