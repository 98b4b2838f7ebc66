// The kappa coefficients of a pass, in the order the report prints them.

#include <utility>

#include "kappa/kappa.h"

namespace zover {

Grid<double> MarginalProportions(const ObservedData& tb) {
  Grid<double> t_indice(static_cast<std::size_t>(tb.K), static_cast<std::size_t>(tb.R));
  for (int i = 0; i < tb.K; ++i) {
    for (int r = 0; r < tb.R; ++r) t_indice[i][r] = tb.successaux[i] / tb.Norg + tb.failaux[i][r] / tb.Norg;
  }
  return t_indice;
}

KappaResults Kappas(const ObservedData& data, KappaTables& tables) {
  KappaResults kappas;
  tables = KappaTables{};
  tables.t_indice = MarginalProportions(data);
  HubertKappa hubert = coefficientKappa(data, tables.t_indice);
  kappas.hubert = hubert.kappa;
  kappas.hubert.objectsUsed = data.Norg;
  tables.factorE = std::move(hubert.factorE);
  if (data.entrada == EntryMode::kKeyboardModel) return kappas;  // no observed responses
  FleissKappa fleiss = coefficientFleiss(data);
  kappas.hasFleiss = true;
  kappas.fleiss = fleiss.kappa;
  kappas.fleiss.objectsUsed = data.Norg;
  tables.sumadoble = std::move(fleiss.sumadoble);
  tables.sumaA = fleiss.sumaA;
  if (data.R > 2) {
    kappas.hasH2 = true;
    kappas.h2 = coefficientH2(data, tables.t_indice, tables.sumaA);
  }
  return kappas;
}

}  // namespace zover
