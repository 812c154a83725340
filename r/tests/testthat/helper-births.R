# The typical birth of the tests (the first worked example) and a way to
# change some of its inputs.
typical <- list(bwt = 3400, gest = 280, wt = 64, ht = 163, sex = 1, eth = 1, par = 0)

birth <- function(...) modifyList(typical, list(...))

compute_birth <- function(population = "uk", inputs = typical, ...) {
  do.call(compute, c(list(population), inputs, list(...)))
}

# The value of `expr`, without the warning that some births were not computed.
without_row_warning <- function(expr) {
  withCallingHandlers(expr, wrenfield_row_warning = function(w) invokeRestart("muffleWarning"))
}
