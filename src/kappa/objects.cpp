// The adjudication list: each kept object's agreement, most disputed first.
//
// An object with r ratings has r (r - 1) / 2 pairs of ratings, of which
// sum_k r_k (r_k - 1) / 2 are in one class; their share is its agreement.
// Its most chosen class leads when no other class was chosen as often. The
// most disputed object has the lowest share of agreeing pairs; among equal
// shares, the one whose most chosen class has the lowest share of its
// ratings (the votes are spread wider); then file order. Shares of equal
// fractions are equal doubles (one correctly rounded division each), so ties
// are exact. Objects with fewer than two ratings have no pairs and come
// last, in file order.

#include <algorithm>

#include "kappa/pairs.h"

namespace zover {

ObjectResults ComputeObjectSummaries(const RatedObjects& objects, int K) {
  ObjectResults result;
  result.kept = objects.kept;
  if (!objects.kept) {
    result.reason = "the objects were not kept";
    return result;
  }
  result.objects = objects;
  const int R = objects.raters;
  std::vector<int> counts(static_cast<std::size_t>(K > 0 ? K : 0), 0);
  result.disputed.reserve(objects.size());
  for (std::size_t o = 0; o < objects.size(); ++o) {
    ObjectSummary summary;
    summary.object = o;
    const std::uint16_t* ratings = objects.Ratings(o);
    int most = 0, leaders = 0, used = 0, mode = -1;
    long long agreeing = 0;
    for (int g = 0; g < R; ++g) {
      if (ratings[g] == 0 || ratings[g] > K) continue;
      const int k = ratings[g] - 1;
      const int count = ++counts[k];
      ++summary.ratings;
      agreeing += count - 1;  // the pairs this rating makes with the earlier ones of its class
      if (count == 1) ++used;
      if (count > most) {
        most = count, leaders = 1, mode = k;
      } else if (count == most) {
        ++leaders;
      }
    }
    for (int g = 0; g < R; ++g) {
      if (ratings[g] != 0 && ratings[g] <= K) counts[ratings[g] - 1] = 0;
    }
    const int r = summary.ratings;
    if (r >= 2) {
      summary.agreeingPairs = static_cast<double>(agreeing) / (static_cast<double>(r) * (r - 1) / 2);
      summary.unanimous = used == 1;
    }
    if (r > 0) {
      summary.modeShare = static_cast<double>(most) / r;
      if (leaders == 1) summary.mode = mode;
    }
    result.disputed.push_back(summary);
  }
  std::stable_sort(result.disputed.begin(), result.disputed.end(),
                   [](const ObjectSummary& a, const ObjectSummary& b) {
                     if (a.agreeingPairs.has_value() != b.agreeingPairs.has_value()) return a.agreeingPairs.has_value();
                     if (a.agreeingPairs && *a.agreeingPairs != *b.agreeingPairs) {
                       return *a.agreeingPairs < *b.agreeingPairs;
                     }
                     if (a.agreeingPairs && a.modeShare != b.modeShare) return a.modeShare < b.modeShare;
                     return a.object < b.object;
                   });
  return result;
}

}  // namespace zover
