#include "tables/tables.h"

#include <algorithm>

namespace zover {

int ClassRows(const Tables& tb) { return std::max(tb.K, 3); }

void SizeWorkingTables(Tables& tb) {
  const std::size_t k = static_cast<std::size_t>(ClassRows(tb));
  const std::size_t r = static_cast<std::size_t>(std::max(tb.R, 0));
  auto vec = [k] { return std::vector<double>(k, 0.0); };
  auto grid = [k, r] { return Grid<double>(k, r, 0.0); };

  tb.clases = Grid<int>(k, r, 0);
  tb.ac.assign(k, 0);

  tb.success = vec();
  tb.successaux = vec();
  tb.fail = grid();
  tb.failaux = grid();
  tb.Fvect = vec();

  tb.datafleiss = Grid<int>(k, r, 0);
  tb.t_indice = grid();
  tb.factorE = grid();
  tb.sumadoble = vec();

  tb.dmat = grid();
  tb.N0.assign(k, 0);
  tb.alp = vec();
  tb.alp_neg = vec();

  tb.prop = grid();
  tb.acuerd = vec();
  tb.acuerdaux = vec();
  tb.consist = vec();
  tb.agreement = vec();
  tb.consistency = vec();
  tb.pi = grid();
  tb.agreementesp = vec();
  tb.piesp = grid();
  tb.var_cons = vec();
  tb.var_alp = vec();
}

}  // namespace zover
