# The one policy for bad input of every front end: each kind of birth, its
# outcome and its text, as custcent, the Python package, the HTTP service and
# the C API give them (the parity test compares R with them birth by birth).

test_that("each kind of bad birth gets its error, and no centile", {
  cases <- list(
    list(birth(bwt = NA), "missing: bwt"),
    list(birth(bwt = NA, gest = NA_character_, par = NaN), "missing: bwt, gest, par"),
    list(birth(sex = "boy"), 'sex: expected Male, Female, M, F or a code (1 male, 0 or 2 female), not "boy"'),
    list(birth(wt = "abc"), 'wt: not a number: "abc"'),
    list(birth(wt = Inf), "wt: must be a finite number, not inf"),
    list(birth(sex = -Inf), "sex: must be a finite number, not -inf"),
    list(birth(wt = "inf"), "wt: must be a finite number, not inf"),
    list(birth(bwt = -3400), "bwt: must be a positive number, not -3400"),
    list(birth(gest = 0), "gest: must be a positive number, not 0"),
    list(birth(gest = "0+0"), "gest: must be a positive number, not 0"),
    list(birth(ht = "0m"), "ht: must be a positive number, not 0"),
    list(birth(wt = 1e300), "the centile cannot be computed: Overflow"),
    list(birth(bwt = "3.4m"), 'bwt: unknown unit "m" in "3.4m" (units: g, kg, lb, oz, st)'),
    list(birth(bwt = NA, sex = "boy", wt = -1), paste0(
      "missing: bwt; wt: must be a positive number, not -1; ",
      'sex: expected Male, Female, M, F or a code (1 male, 0 or 2 female), not "boy"'
    ))
  )
  for (case in cases) {
    got <- compute_birth("uk", case[[1]])
    expect_identical(got$error, case[[2]])
    expect_identical(got$centile, NA_real_)
    expect_identical(got$band, factor(NA, levels = c("SGA", "AGA", "LGA")))
  }
})

test_that("a group name of another population is refused, naming the groups", {
  got <- compute_birth("uk", birth(eth = "Maori"))
  expect_match(got$error, '^eth: not an ethnic group of United Kingdom: "Maori" \\(groups: 1 European, 2 Indian, ')
})

test_that("0 is a number, not a missing value, where codes are concerned", {
  got <- compute_birth("uk", birth(eth = 0, par = 0, sex = 0))
  expect_identical(got$error, NA_character_)
  expect_false(is.na(got$centile))
})

test_that("a value outside its plausible range is computed and flagged; strict refuses it", {
  odd <- birth(bwt = 3.4, gest = 40, ht = 1.63, sex = 9, eth = 99)
  got <- compute_birth("uk", odd)
  expect_identical(got$error, NA_character_)
  expect_equal(got$centile, -5.478096487543382e-06, tolerance = 1e-9)
  expect_identical(got$flags, paste(
    "bwt below 200 g — kilograms or pounds?", "gest below 22 weeks — weeks typed as days?",
    "ht below 100 cm — metres?", "sex 9: female term used",
    'eth 99 not a United Kingdom group: "other" term used',
    "centile below 0 — far below the expected weight: check the inputs",
    sep = "; "
  ))
  strict <- compute_birth("uk", odd, strict = TRUE)
  expect_identical(strict$centile, NA_real_)
  expect_identical(strict$error, paste0("flagged: ", got$flags))
})

test_that("an unknown population refuses the call, or in a column only its births", {
  expect_error(compute_birth("Narnia"), class = "wrenfield_argument_error",
               regexp = 'population: unknown population "Narnia"; choose "United Kingdom" (uk)', fixed = TRUE)
  got <- compute(c("nz", "Narnia", NA, ""), 3400, 280, 64, 163, 1, 1, 0)
  expect_false(is.na(got$centile[1]))
  expect_match(got$error[2], '^population: unknown population "Narnia"; choose ')
  # a missing population in a column takes the United Kingdom
  expect_identical(got$centile[3:4], rep(centile("uk", 3400, 280, 64, 163, 1, 1, 0), 2))
})

test_that("the vocabulary: names, weeks+days, units, parity 4 or more", {
  by_codes <- centile("nz", 3400, 277, 64.5, 163, 0, 3, 4)
  expect_identical(centile("NZ", "7lb8oz", "39+4", "10st2lb", "5ft4in", "F", "maori", "4 or more"),
                   centile("nz", "7lb8oz", 277, "10st2lb", "5ft4in", 0, 3, 4))
  expect_identical(centile("nz", 3400, "39+4", "64.5kg", "1.63m", "Female", "Maori", "4+"), by_codes)
  expect_identical(centile("nz", 3.4, 277, 64.5, 1.63, 0, 3, 4, units = c(bwt = "kg", ht = "m")), by_codes)
  expect_identical(centile("nz", "-99", 277, 64.5, 163, 0, 3, 4, na = "-99"), NA_real_)
})
