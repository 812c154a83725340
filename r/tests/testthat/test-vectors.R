# Vectors as R users pass them: recycled, NA in and NA out, factors read by
# their levels, names kept; and the same centiles whichever way in.

test_that("any missing form of any input gives NA, silently, and names the input", {
  forms <- list(NA, NA_real_, NaN, NA_character_, "", " na ", ".", "NaN", factor(NA))
  for (field in names(typical)) {
    for (form in forms) {
      inputs <- typical
      inputs[[field]] <- form
      expect_silent(got <- do.call(centile, c(list("uk"), inputs)))
      expect_identical(got, NA_real_)
      expect_identical(compute_birth("uk", inputs)$error, paste("missing:", field))
    }
  }
})

test_that("inputs are recycled as R recycles them", {
  got <- centile("uk", c(3000, 3400, 3800, 4200), 280, c(60, 70), 163, 1, 1, 0)
  one_by_one <- mapply(function(b, w) centile("uk", b, 280, w, 163, 1, 1, 0), c(3000, 3400, 3800, 4200), c(60, 70, 60, 70))
  expect_identical(got, one_by_one)
  expect_warning(centile("uk", c(3000, 3400, 3800), 280, c(60, 70), 163, 1, 1, 0),
                 class = "wrenfield_recycling_warning")
  expect_identical(centile("uk", numeric(), 280, 64, 163, 1, 1, 0), numeric())
  expect_identical(nrow(compute("uk", numeric(), 280, 64, 163, 1, 1, 0)), 0L)
})

test_that("names of bwt name the centiles and the rows of compute", {
  bwt <- c(a = 3400, b = 2900)
  expect_named(centile("uk", bwt, 280, 64, 163, 1, 1, 0), c("a", "b"))
  expect_identical(rownames(compute("uk", bwt, 280, 64, 163, 1, 1, 0)), c("a", "b"))
})

test_that("factors are read by their levels, never their internal codes", {
  plain <- centile("uk", c(3400, 2900, 3100), c(280, 266, 273), 64, 163, c("Male", "Female", "Male"),
                   c("European", "Indian", "European"), c(0, 4, 2))
  as_factors <- centile("uk", factor(c(3400, 2900, 3100)), factor(c("40+0", "38+0", "39+0")), 64, 163,
                        factor(c("Male", "Female", "Male"), levels = c("Female", "Male", "unused")),
                        factor(c("European", "Indian", "European")), factor(c("0", "4 or more", "2")))
  expect_identical(as_factors, plain)
  expect_identical(centile("uk", 3400, 280, 64, 163, factor(c(1, NA)), 1, 0)[2], NA_real_)
})

test_that("integers, labelled numbers and integer codes are read as numbers", {
  labelled <- structure(c(1, 0), class = "haven_labelled", labels = c(Male = 1, Female = 0))
  expect_identical(centile("uk", 3400L, 280L, 64L, 163L, labelled, 1L, 0L),
                   centile("uk", 3400, 280, 64, 163, c(1, 0), 1, 0))
})

test_that("every door agrees: centile, compute and add_centiles, numbers and texts, any threads", {
  set.seed(1)
  n <- 70000 # more than a worker's chunk, and enough rows to run on a watched worker
  births <- data.frame(
    population = sample(populations()$alias, n, replace = TRUE),
    bwt = round(runif(n, 400, 5500)), gest = sample(154:300, n, replace = TRUE),
    wt = round(runif(n, 38, 140), 1), ht = round(runif(n, 140, 195)),
    sex = sample(0:2, n, replace = TRUE), eth = sample(0:8, n, replace = TRUE), par = sample(0:6, n, replace = TRUE)
  )
  births$bwt[sample(n, 100)] <- NA
  births$wt[sample(n, 100)] <- -1
  centiles <- without_row_warning(with(births, centile(population, bwt, gest, wt, ht, sex, eth, par, threads = 1)))
  expect_identical(without_row_warning(with(births, centile(population, bwt, gest, wt, ht, sex, eth, par, threads = 2))),
                   centiles)
  as_texts <- as.data.frame(lapply(births, as.character))
  framed <- add_centiles(as_texts, add = character())
  expect_identical(framed$centile, centiles)
  first <- with(births[1:1000, ], compute(population, bwt, gest, wt, ht, sex, eth, par))
  expect_identical(first$centile, centiles[1:1000])
  expect_identical(sum(!is.na(framed$error)), sum(is.na(centiles)))
})
