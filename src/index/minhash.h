// MinHash signatures of texts over byte-trigram shingles.
//
// A text is lower-cased (full mapping), every character that is not
// alphanumeric becomes a space, and the words are joined by single spaces.
// Each 3-byte window of that UTF-8 string is a shingle: XXH3-64 (seed 0) of
// the window masked to 31 bits (a string of 1 or 2 bytes is one shingle of
// itself). The signature holds, for each of 128 hash functions
//   h_i(x) = (a_i * x + b_i) mod (2^31 - 1),
// the smallest value over the shingles. The coefficients are drawn from a
// ChaCha12 generator with a fixed seed, so every index in the process (and
// every run of the program) uses the same functions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vesk {

constexpr int kMinHashPermutations = 128;
constexpr uint64_t kMinHashPrime = 2147483647;  // 2^31 - 1
constexpr uint64_t kShingleMask = 0x7fffffff;

// The ascending, repeat-free shingles of a text.
std::vector<uint64_t> shingle_text(std::string_view text);
// Every shingle of a text in text order, repeats included, into `out`
// (replacing its contents). Its signature is that of shingle_text's: a
// repeated shingle never lowers a minimum, so signing needs no sort.
void shingle_hashes(std::string_view text, std::vector<uint64_t>& out);

struct MinHashCoefficients {
  std::array<uint64_t, kMinHashPermutations> a;  // each in [1, 2^31 - 2]
  std::array<uint64_t, kMinHashPermutations> b;  // each in [0, 2^31 - 2]
};

// The coefficients every index uses (drawn once per process).
const MinHashCoefficients& minhash_coefficients();

// Signature values are below 2^31 - 1; a position no shingle reached (only
// for an empty shingle list) holds 2^64 - 1.
using MinHashSignature = std::array<uint64_t, kMinHashPermutations>;
MinHashSignature minhash_signature(const MinHashCoefficients& c, const std::vector<uint64_t>& shingles);

// The same signature as 32-bit values, the form the n-gram index stores (an
// unreached position holds 2^32 - 1).
using CompactSignature = std::array<uint32_t, kMinHashPermutations>;
void compact_signature(const std::vector<uint64_t>& shingles, CompactSignature& out);
// The same by one implementation, which compact_signature picks by what the
// processor has (tests check each against the portable one); false when the
// processor cannot run it.
enum class SignatureCode { Portable, Avx2, Avx512 };
bool compact_signature_by(SignatureCode code, const std::vector<uint64_t>& shingles, CompactSignature& out);

}  // namespace vesk
