#pragma once
// Random numbers for the bootstrap, the same on every platform: a small
// generator of our own and our own mappings to uniform and binomial
// variates, where the standard library's distributions may differ from one
// library to the next.

#include <cstdint>

namespace zover {

// SplitMix64 (Steele, Lea and Flood 2014): a 64-bit state advanced by a
// constant, each output a bijective mix of the state. Every seed gives its
// own full-period stream.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // A uniform variate in [0, 1): the top 53 bits of the next output, scaled
  // exactly.
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

// A binomial variate: the successes in `trials` independent trials (a whole
// number from 0 to 2^53) of probability p. With trials * min(p, 1 - p) below
// 10 by inversion of the distribution function; above, by Hormann's (1993)
// transformed rejection with decomposition (BTRD), in constant expected time
// however many trials there are. Only IEEE arithmetic and sqrt, log and pow
// enter, so the same seed gives the same variates wherever those agree.
double Binomial(SplitMix64& random, double trials, double p);

}  // namespace zover
