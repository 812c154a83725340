# The fields of the result: the names every front end uses, the bands as
# factors, the thresholds.

test_that("compute gives every field a birth can give, in the order of every front end", {
  got <- compute_birth()
  expect_identical(names(got), c("centile", wrenfield:::.column_fields(), "error"))
  expect_identical(levels(got$band), c("SGA", "AGA", "LGA"))
  expect_identical(levels(got$band_label), c("SGA <3rd", "SGA", "AGA", "LGA", "LGA >97th"))
})

test_that("the thresholds move the bands and the finer labels", {
  bwt <- c(2700, 3000, 3400, 4200, 4500) # centiles 1.7, 9.0, 38.2, 96.3, 99.5
  default <- compute("uk", bwt, 280, 64, 163, 1, 1, 0)
  expect_identical(as.character(default$band_label), c("SGA <3rd", "SGA", "AGA", "LGA", "LGA >97th"))
  moved <- compute("uk", bwt, 280, 64, 163, 1, 1, 0, thresholds = c(2, 98))
  expect_identical(levels(moved$band_label), c("SGA <2nd", "SGA", "AGA", "LGA", "LGA >98th"))
  expect_identical(as.character(moved$band_label), c("SGA <2nd", "AGA", "AGA", "AGA", "LGA >98th"))
  four <- compute("uk", bwt, 280, 64, 163, 1, 1, 0, thresholds = c(5, 10, 90, 95))
  expect_identical(as.character(four$band_label), c("SGA <5th", "SGA", "AGA", "LGA >95th", "LGA >95th"))
})

test_that("the populations and their groups", {
  expect_identical(populations()$name, c("United Kingdom", "United States", "Sweden", "New Zealand", "Australia"))
  expect_identical(populations()$alias, c("uk", "us", "se", "nz", "au"))
  groups <- ethnic_groups("se")
  expect_identical(nrow(groups), 27L)
  expect_identical(groups$name[c(1, 7, 27)], c("Scandinavian", "Phillipino", "Other"))
  expect_identical(ethnic_groups("Australia")$name, c("European", "Indian/Pakistani", "Middle Eastern", "African"))
  # a group's name reads as its code
  expect_identical(centile("se", 3500, 280, 65, 170, 1, groups$name, 0), centile("se", 3500, 280, 65, 170, 1, groups$code, 0))
  expect_identical(coefficient_set_version(), "5.15_UK")
  expect_true(simd_level() %in% c("portable", "sse2", "avx2", "avx512"))
})
