library(testthat)
library(zover)
test_check("zover")
