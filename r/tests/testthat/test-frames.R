# add_centiles: every column kept, the class kept, the columns found by name
# or mapped, a population column, strict.

births <- data.frame(
  id = c("A-17", "A-18", "A-19", "A-20"),
  Birthweight_g = c(3400, 2450, NA, 3100),
  " GEST " = c("39+4", "38+0", "40+0", "40"),
  wt = c(64, 58.5, 70, 64), ht = c(163, 160, 171, 163),
  sex = factor(c("Male", "Female", "Male", "M")), eth = c("European", "Indian", "1", "1"),
  par = c(0, 2, 1, 0),
  country = c("uk", NA, "se", "au"),
  check.names = FALSE, stringsAsFactors = FALSE
)
mapped <- c(bwt = "Birthweight_g", population = "country")

test_that("the columns of the frame, then centile, the added fields and error", {
  out <- add_centiles(births, "nz", columns = mapped, add = c("flags", "rounded", "expected"))
  expect_identical(names(out), c(names(births), "centile", "flags", "rounded", "expected_weight", "error"))
  expect_identical(out[names(births)], births)
  want <- with(births, compute(ifelse(is.na(country), "nz", country), Birthweight_g, births[[" GEST "]],
                               wt, ht, sex, eth, par))
  expect_identical(out$centile, want$centile)
  expect_identical(out$rounded, want$rounded)
  expect_identical(out$error, c(NA, NA, "missing: bwt", NA))
  expect_identical(out$flags[4], "gest below 22 weeks — weeks typed as days?")
})

test_that("tibbles stay tibbles and data.tables stay data.tables, unchanged themselves", {
  skip_if_not_installed("tibble")
  skip_if_not_installed("data.table")
  plain <- add_centiles(births, columns = mapped)
  tib <- tibble::as_tibble(births)
  out <- add_centiles(tib, columns = mapped)
  expect_s3_class(out, "tbl_df")
  expect_identical(as.data.frame(out), plain)
  dt <- data.table::as.data.table(births)
  before <- data.table::copy(dt)
  out <- add_centiles(dt, columns = mapped)
  expect_s3_class(out, "data.table")
  expect_identical(dt, before)
  expect_identical(as.data.frame(out), plain)
  # a data.table the user can go on changing in place
  expect_silent(data.table::set(out, j = "centile", value = out$centile * 2))
  expect_identical(out$centile, plain$centile * 2)
})

test_that("row names are kept, and name the row of a strict error", {
  frame <- births
  rownames(frame) <- frame$id
  frame$gest <- frame[[" GEST "]]
  frame[[" GEST "]] <- NULL
  out <- add_centiles(frame, columns = mapped)
  expect_identical(rownames(out), frame$id)
  error <- tryCatch(add_centiles(frame, columns = mapped, strict = TRUE), error = identity)
  expect_s3_class(error, "wrenfield_row_error")
  expect_identical(error$row, 4L)
  expect_identical(error$reason, "flagged: gest below 22 weeks — weeks typed as days?")
  expect_match(conditionMessage(error), "^row 4 \\(A-20\\): flagged: ")
  # a missing value is no error, even under strict
  expect_identical(add_centiles(frame[1:3, ], columns = mapped, strict = TRUE)$error, c(NA, NA, "missing: bwt"))
})

test_that("a frame without a column, or with two for one input, is refused by name", {
  expect_error(add_centiles(births), class = "wrenfield_column_error", regexp = "lacks the column bwt")
  expect_error(add_centiles(births, columns = c(bwt = "weight")), class = "wrenfield_column_error",
               regexp = "bwt is mapped to weight")
  twice <- cbind(births, GEST = 280)
  expect_error(add_centiles(twice, columns = mapped), class = "wrenfield_column_error",
               regexp = "several columns for gest")
  expect_error(add_centiles(cbind(births, centile = 1), columns = mapped), class = "wrenfield_argument_error",
               regexp = "already has a column named centile")
  expect_error(add_centiles(births, columns = mapped, add = "bands"), class = "wrenfield_argument_error",
               regexp = "add: unknown field bands; choose from rounded, band")
})

test_that("an empty frame gets its columns", {
  out <- add_centiles(births[0, ], columns = mapped, add = c("band", "z"))
  expect_identical(nrow(out), 0L)
  expect_identical(names(out), c(names(births), "centile", "band", "z", "error"))
})
