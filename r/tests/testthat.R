library(testthat)
library(wrenfield)

test_check("wrenfield")
