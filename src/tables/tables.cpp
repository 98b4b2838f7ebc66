#include "tables/tables.h"

#include <algorithm>

namespace zover {

ModelTables::ModelTables(int classes, int raters) : K(classes), R(raters) {
  const std::size_t k = static_cast<std::size_t>(std::max(classes, 3));
  const std::size_t r = static_cast<std::size_t>(std::max(raters, 0));
  auto vec = [k] { return std::vector<double>(k, 0.0); };
  auto grid = [k, r] { return Grid<double>(k, r, 0.0); };
  success = vec();
  fail = grid();
  dmat = grid();
  N0.assign(k, 0);
  alp = vec();
  alp_neg = vec();
  prop = grid();
  acuerd = vec();
  acuerdaux = vec();
  consist = vec();
  var_cons = vec();
  var_alp = vec();
}

}  // namespace zover
