// The coefficients of rater pairs, raters and objects of one raw file, as
// lines of numbers, for disagreement_check.py to compare with its peers:
//
//   zover_disagreement_dump FILE [identity|linear|quadratic] [SAMPLES SEED]
//
// FILE is read as the batch command reads it with --id --missing (the first
// field names the object; empty, NA or . is a missing rating). Every line
// starts with what it holds; a value that is empty prints as nan:
//   pair a b objects agreement kappa se se0 weighted_kappa weighted_se weighted_se0
//   light kappa pairs low high
//   conger kappa se
//   scott kappa se
//   rater g objects counts... majority_objects agreement kappa se se0 fleiss_without se
//   object index ratings agreeing_pairs mode mode_share unanimous

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "input/input.h"
#include "kappa/ordered.h"
#include "kappa/pairs.h"

namespace {

std::string Number(const std::optional<double>& value) {
  if (!value) return " nan";
  char text[40];
  std::snprintf(text, sizeof text, " %.17g", *value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zover_disagreement_dump FILE [identity|linear|quadratic] [SAMPLES SEED]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  zover::StringSource file(text.str());
  zover::ObservedData tb;
  zover::FileLayout layout;
  layout.id = true;
  layout.missing = true;
  layout.keepObjects = true;
  const zover::ReadOutcome read = zover::ArchivoFrom(file, tb, argv[1], layout);
  if (!read.ok) {
    std::fprintf(stderr, "%s", read.message.c_str());
    return 1;
  }
  zover::DisagreementRequest request;
  const std::string scheme = argc > 2 ? argv[2] : "identity";
  if (scheme != "identity") {
    request.weights = zover::WeightMatrix(scheme == "linear" ? zover::WeightScheme::kLinear
                                                             : zover::WeightScheme::kQuadratic,
                                          zover::ClassValues({}, tb.K));
  }
  request.samples = argc > 4 ? std::atol(argv[3]) : 0;
  request.seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1;
  const zover::DisagreementResults d = zover::ComputeDisagreement(tb, request);

  std::string out;
  for (std::size_t p = 0; p < d.pairs.pairs.size(); ++p) {
    const zover::PairResult& pair = d.pairs.pairs[p];
    out += "pair " + std::to_string(pair.rater) + " " + std::to_string(pair.rater2) + Number(pair.objects) +
           Number(pair.agreement) + Number(pair.cohen.kappa.estimate) + Number(pair.cohen.kappa.se) +
           Number(pair.cohen.se0);
    const zover::WeightedKappa weighted = d.pairs.weighted.empty() ? zover::WeightedKappa{} : d.pairs.weighted[p];
    out += Number(weighted.kappa.estimate) + Number(weighted.kappa.se) + Number(weighted.se0) + "\n";
  }
  out += "light" + Number(d.light.kappa.value) + Number(static_cast<double>(d.light.pairs)) +
         Number(d.light.ci95 ? std::optional<double>(d.light.ci95->first) : std::nullopt) +
         Number(d.light.ci95 ? std::optional<double>(d.light.ci95->second) : std::nullopt) + "\n";
  out += "conger" + Number(d.conger.estimate) + Number(d.conger.se) + "\n";
  if (d.hasScott) out += "scott" + Number(d.scott.estimate) + Number(d.scott.se) + "\n";
  for (const zover::RaterSummary& rater : d.raters) {
    out += "rater " + std::to_string(rater.rater) + Number(rater.objects);
    for (const double count : rater.counts) out += Number(count);
    out += Number(rater.majorityObjects) + Number(rater.majorityAgreement) +
           Number(rater.majorityKappa.kappa.estimate) + Number(rater.majorityKappa.kappa.se) +
           Number(rater.majorityKappa.se0) + Number(rater.fleissWithout.estimate) +
           Number(rater.fleissWithout.se) + "\n";
  }
  for (const zover::ObjectSummary& object : d.objects.disputed) {
    out += "object " + std::to_string(object.object) + " " + std::to_string(object.ratings) +
           Number(object.agreeingPairs) +
           Number(object.mode ? std::optional<double>(*object.mode) : std::nullopt) + Number(object.modeShare) +
           (object.unanimous ? " 1\n" : " 0\n");
  }
  std::fputs(out.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
