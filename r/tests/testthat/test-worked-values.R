# The worked values of the five populations' methods: each birth through the
# batch kernel (the default) and through the method itself (exact), to the
# decimals the value is given to.

worked <- read.table(header = TRUE, text = "
population bwt  gest wt  ht  sex eth par value       decimals
uk         3400 280  64  163 1   1   0   38.2216410  7
uk         3000 273  70  170 2   2   1   21.2353806  7
uk         4200 287  90  155 1   6   4   89.4741348  7
uk         3000 280  200 163 1   9   4   100.0000055 7
us         3400 280  64  163 1   1   0   36.7994620  7
us         3000 273  70  170 2   3   1   24.7056271  7
se         3500 280  65  170 1   1   0   35.0635     4
se         3100 266  58  160 0   4   2   60.5048     4
se         4000 280  250 230 1   7   4   16.2484     4
se         3500 280  65  170 1   25  0   38.3744     4
nz         3500 280  70  165 1   1   0   40.9032     4
nz         3000 266  60  158 0   3   1   48.8595     4
nz         3500 280  64  163 1   7   0   45.6548     4
nz         3500 280  64  163 1   1   0   46.9000     4
nz         3500 280  70  165 1   1   1   32.4426     4
nz         3500 280  70  165 1   1   2   32.4271     4
au         3400 280  68  168 0   1   1   33.9737     4
au         2900 273  55  155 1   4   4   36.7891     4
au         3400 280  68  168 0   1   3   32.2512     4
au         3400 280  68  168 0   1   4   33.6116     4
")

test_that("every worked value, by the kernel and by the method", {
  for (exact in c(FALSE, TRUE)) {
    got <- with(worked, centile(population, bwt, gest, wt, ht, sex, eth, par, exact = exact))
    off <- abs(got - worked$value) > 0.5 * 10^-worked$decimals
    expect_false(any(off), label = paste0(
      "exact = ", exact, ": rows ", paste(which(off), collapse = ", "),
      " give ", paste(format(got[off], digits = 12), collapse = ", ")
    ))
  }
})

test_that("the values around the centile of the first worked example", {
  got <- compute("United Kingdom", 3400, 280, 64, 163, 1, 1, 0)
  expect_equal(got$term_weight, 3504.5)
  expect_equal(got$weeks, 40)
  expect_equal(got$expected_weight, 3515.0135, tolerance = 1e-12)
  expect_equal(got$spread, 384.19097555, tolerance = 1e-10)
  expect_equal(got$z, -0.299365439, tolerance = 1e-8)
  expect_identical(got$rounded, 38L)
  expect_identical(as.character(got$band), "AGA")
})

test_that("codes that name no group, parity and sex take their fallback terms", {
  same <- list(
    uk_eth = list("uk", eth = c(1, 10, 11)),
    uk_par = list("uk", par = c(4, 5, 7)),
    uk_sex = list("uk", sex = c(0, 2, 1.5)),
    se_eth = list("se", eth = c(1, 27, 0, 28)),
    se_25_26 = list("se", eth = c(25, 26)),
    nz_other = list("nz", eth = c(7, 0, 9)),
    au_eth = list("au", eth = c(1, 0, 5))
  )
  typical <- list(bwt = 3400, gest = 280, wt = 64, ht = 163, sex = 1, eth = 1, par = 0)
  for (name in names(same)) {
    inputs <- modifyList(typical, same[[name]][-1])
    got <- do.call(centile, c(list(same[[name]][[1]]), inputs))
    expect_true(length(got) > 1 && all(got == got[1]), label = name)
  }
})

test_that("the far tails go past 0 and 100 and are flagged, not clipped", {
  got <- compute("uk", c(3000, 200), 280, c(200, 64), 163, 1, c(9, 1), c(4, 0))
  expect_equal(got$centile[1], 100.0000055, tolerance = 1e-9)
  expect_true(got$centile[2] < 0)
  expect_match(got$flags[1], "centile above 100")
  expect_match(got$flags[2], "centile below 0")
})

test_that("a birthweight equal to the expected weight is exactly the 50th", {
  expected <- compute("uk", 3400, 280, 70, 170, 2, 2, 1)$expected_weight
  for (exact in c(FALSE, TRUE)) {
    expect_identical(centile("uk", expected, 280, 70, 170, 2, 2, 1, exact = exact), 50)
  }
})

test_that("a number written as a text is the number", {
  expect_identical(
    centile("uk", "3400", "280", "64", "163", "1", "1", "0"),
    centile("uk", 3400, 280, 64, 163, 1, 1, 0)
  )
})

test_that("the kernel stays within 1e-11 of the method over many births", {
  set.seed(26)
  n <- 5000
  births <- list(
    population = sample(populations()$alias, n, replace = TRUE),
    bwt = runif(n, 400, 5500), gest = sample(154:300, n, replace = TRUE),
    wt = runif(n, 38, 140), ht = runif(n, 140, 195), sex = sample(0:1, n, replace = TRUE),
    eth = sample(0:12, n, replace = TRUE), par = sample(0:6, n, replace = TRUE)
  )
  kernel <- do.call(centile, births)
  method <- do.call(centile, c(births, exact = TRUE))
  expect_lte(max(abs(kernel - method)), 1e-11)
})
