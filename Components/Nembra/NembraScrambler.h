#pragma once
// A symmetric byte scrambler over a 64-byte key (unit NembraScrambler),
// offered to applet libraries; the client itself calls it nowhere.
//
// Byte i of the output is (input byte i XOR key byte k) + k modulo 256, with
// k running 1, 2, ... 64 and then again from 1 (key byte k is the k-th byte
// of the key); unscrambling subtracts k before the XOR. It hides bytes from
// a casual look; it is no encryption.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using TScrambleKey = std::array<uint8_t, 64>;

// The key stored with the scrambler.
extern const TScrambleKey DefaultScrambleKey;

std::string ScrambleBytes(std::string_view Data, const TScrambleKey& Key = DefaultScrambleKey);
std::string UnscrambleBytes(std::string_view Data, const TScrambleKey& Key = DefaultScrambleKey);
