// A shared object that links the engine, as a language binding does, and
// answers through a plain C function: Fleiss' kappa of a raw file's text.

#include <cmath>
#include <string>

#include "analysis/analysis.h"

extern "C" __attribute__((visibility("default"))) double zover_door_fleiss(const char* text) {
  zover::StringSource source(text);
  const zover::Dataset data = zover::ReadData(source, "data", zover::ReadOptions{});
  if (!data.ok()) return std::nan("");
  const zover::Results results = zover::Analyse(data, zover::Request{});
  const zover::ResultRow* fleiss = results.Find("fleiss_kappa");
  return fleiss != nullptr && fleiss->estimate ? *fleiss->estimate : std::nan("");
}
