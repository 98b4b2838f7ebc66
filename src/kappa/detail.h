#pragma once
// What the unweighted and the weighted members of Gwet's family share: the
// check of a rating pattern, the reasons of empty fields, each member's
// estimate from pa and pe, and Gwet's variance summed object by object.

#include <array>

#include "kappa/coefficients.h"

namespace zover::detail {

constexpr const char* kMalformed = "a rating pattern is malformed";
constexpr const char* kNoPairs = "no object has two ratings";
constexpr const char* kOneClass = "every rating is in one class";
constexpr const char* kOnlyOneClass = "there is only one class";
constexpr const char* kZeroSe = "the standard error is 0";

// The rater count r_i of a pattern, or -1 when the pattern is not well formed
// (a weight that is negative or not finite, a class outside 0..K-1, classes
// not increasing, a count below 1).
int RaterCount(const RatingPattern& pattern, int K);

// The members of Gwet's family: percent agreement, Brennan-Prediger, the
// coefficient with Gwet's chance agreement (AC1, or AC2 with weights) and
// Fleiss' kappa in Gwet's form.
enum Member { kPercent, kBrennanPrediger, kGwet, kFleiss, kMembers };

// One member while its variance is summed.
struct MemberState {
  bool valid = false;    // it has an estimate
  double pe = 0;
  double gamma = 0;
  double squares = 0;    // sum of (gamma*_i - gamma)^2
  bool varies = false;   // some gamma*_i differs from gamma by more than rounding
};

using Members = std::array<MemberState, kMembers>;
using MemberResults = std::array<Inference*, kMembers>;

// Sets each member's estimate gamma = (pa - pe) / (1 - pe) from its chance
// agreement pe, with its range [-pe / (1 - pe), 1], or the reason it has none
// (a single class, or pe = 1).
Members EstimateMembers(double pa, const std::array<double, kMembers>& pe, int K, const MemberResults& out);

// Adds the term of `weight` objects with r ratings, observed agreement pai
// (0 when r < 2) and per-object chance agreements pei to the variance of each
// member with an estimate; n objects, n2 of them with two ratings or more:
//   gamma_i  = (n/n2) (pa_i - pe) / (1 - pe) if r >= 2, else 0,
//   gamma*_i = gamma_i - 2 (1 - gamma) (pe_i - pe) / (1 - pe).
// A term counts as nonzero only when |gamma*_i - gamma| exceeds 1e-12 of the
// sizes of the terms it is computed from: an exact zero can come out of the
// arithmetic as noise of about 1e-17, whose z of about 1e16 would mean
// nothing.
void AddVarianceTerm(Members& m, double weight, int r, double pai, const std::array<double, kMembers>& pei, double n,
                     double n2);

// Sets the standard error sqrt(sum / (n (n - 1))) of each member with an
// estimate (0 when no term varies), its interval at `level` within its
// range, and z and p from it (not for percent agreement, which is not
// corrected for chance).
void SetStandardErrors(const Members& m, double n, double level, const MemberResults& out);

// Sets the objects used, n, of every member.
void SetObjectsUsed(double n, const MemberResults& out);

// With fewer than two objects that have two ratings there is no variance:
// each member with an estimate says so.
void MarkFewRated(const Members& m, const MemberResults& out);

}  // namespace zover::detail
