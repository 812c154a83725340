# Arguments that cannot be used are R errors of their own classes, before
# anything is computed; nothing a caller passes crashes the session.

test_that("each unusable argument is an error of its class, naming the argument", {
  cases <- list(
    list(quote(centile("uk", TRUE, 280, 64, 163, 1, 1, 0)), "wrenfield_type_error", "bwt: cannot read logical"),
    list(quote(centile("uk", 3400, Sys.Date(), 64, 163, 1, 1, 0)), "wrenfield_type_error", "gest: cannot read Date"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, list(1), 0)), "wrenfield_type_error", "eth: cannot read list"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0i)), "wrenfield_type_error", "par: cannot read complex"),
    list(quote(centile(1, 3400, 280, 64, 163, 1, 1, 0)), "wrenfield_argument_error", "population: expected"),
    list(quote(centile(NA, 3400, 280, 64, 163, 1, 1, 0)), "wrenfield_argument_error", "population: missing"),
    list(quote(centile(c(1, 2), 3400, 280, 64, 163, 1, 1, 0)), "wrenfield_type_error", "population: expected"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, 5)), "wrenfield_argument_error", "unexpected argument"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, thread = 2)), "wrenfield_argument_error", "thread"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, threads = 0)), "wrenfield_argument_error", "threads:"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, units = c(bwt = "m"))), "wrenfield_argument_error",
         "units: bwt: "),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, units = c(sex = "kg"))), "wrenfield_argument_error",
         "only bwt, wt and ht take units"),
    list(quote(centile("uk", 3400, 280, 64, 163, 1, 1, 0, exact = NA)), "wrenfield_argument_error", "exact:"),
    list(quote(compute("uk", 3400, 280, 64, 163, 1, 1, 0, thresholds = c(120, 90))), "wrenfield_argument_error",
         "sga: must be a centile from 0 to 100, not 120"),
    list(quote(compute("uk", 3400, 280, 64, 163, 1, 1, 0, thresholds = c(95, 90))), "wrenfield_argument_error",
         "sga: the 95th centile lies above lga, the 90th"),
    list(quote(compute("uk", 3400, 280, 64, 163, 1, 1, 0, thresholds = 10)), "wrenfield_argument_error",
         "thresholds:"),
    list(quote(add_centiles(list(bwt = 1))), "wrenfield_argument_error", "df: expected a data frame"),
    list(quote(ethnic_groups("Atlantis")), "wrenfield_argument_error", "unknown population")
  )
  for (case in cases) {
    error <- tryCatch(eval(case[[1]]), error = identity)
    expect_s3_class(error, c(case[[2]], "wrenfield_error"))
    expect_match(conditionMessage(error), case[[3]], fixed = TRUE, label = deparse(case[[1]]))
  }
})

test_that("births that cannot be computed warn once in centile(), with their rows", {
  warning <- tryCatch(centile("uk", c(3400, -1, NA, "boy"), 280, 64, 163, 1, 1, 0), warning = identity)
  expect_s3_class(warning, "wrenfield_row_warning")
  expect_identical(warning$rows, c(2L, 4L))
  expect_match(conditionMessage(warning), "2 of 4 births not computed .*\\(2\\): bwt: must be a positive number")
})

test_that("odd values of every kind give a number or NA, never a crash", {
  odd <- list(-0, 1e-310, .Machine$double.xmax, -1e308, 1e308, NaN, -Inf, "", "  ", "1e999", "0x10", "3,4",
              strrep("9", 5000), "\u00e9", "39+", "+4", "39+4+1", "7lb16oz", enc2native("Européen"))
  for (field in names(typical)) {
    for (value in odd) {
      inputs <- typical
      inputs[[field]] <- value
      got <- compute_birth("se", inputs)
      expect_true(is.na(got$centile) != is.na(got$error), label = paste(field, format(value)))
      expect_true(is.na(got$centile) || is.finite(got$centile))
    }
  }
})
