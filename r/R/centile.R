#' Customised birthweight centiles
#'
#' `centile()` gives the centile of each birth, in percent, unrounded;
#' `compute()` gives every field of each birth's result as a data frame: the
#' centile, the rounded centile, the band, the values of the model around it,
#' the plausibility flags and why a birth was not computed.
#'
#' The inputs are vectors, recycled to the longest as R's arithmetic recycles
#' them (a length-zero input gives no births):
#' * `bwt`: birthweight in grams; `wt`: the mother's booking weight in kg;
#'   `ht`: her height in cm. Or texts with a unit: `"3.4kg"`, `"7lb8oz"`,
#'   `"1.63m"`, `"5ft4in"`, `"10st2lb"`; `units` sets the unit of bare numbers.
#' * `gest`: gestation at birth in days (`280`), or completed weeks and days
#'   as a text (`"39+4"`, 277 days).
#' * `sex`: `1` male, `0` or `2` female, or `"Male"`, `"Female"`, `"M"`, `"F"`.
#' * `eth`: the mother's ethnic group, by its code or its name in the
#'   population's list, in any case ([ethnic_groups()]).
#' * `par`: parity, `0`, `1`, `2`, `3`, `4` or more (`"4 or more"`).
#'
#' Each may be numeric, character or a factor (a factor is read by its
#' levels, never its internal codes: `factor(c("Male", "Female"))`, or
#' `factor(c(3400, 2900))` as 3400 and 2900 g). `NA`, `NaN`, the empty text
#' and the texts `"NA"`, `"NaN"` and `"."` (any case; `na` sets them) are
#' missing: a birth with a missing input gets `NA` and no warning.
#'
#' A birth that cannot be used also gets `NA`: a text no form reads
#' (`"boy"`), an infinite number, a birthweight, gestation, weight or height
#' of 0 or below, an unknown population, or values the model cannot compute
#' (an overflow). `compute()` says why, in the words every Wrenfield front end
#' uses (`"bwt: must be a positive number, not -3400"`); `centile()` warns
#' once, with class `wrenfield_row_warning`, naming the first. A value
#' outside its plausible range (`gest` below 22 weeks, a group code the
#' population lacks) is computed and flagged (`compute()`'s `flags`).
#'
#' The centiles come from the batch kernel, which agrees with each
#' population's method to within 1e-11 percentage points and gives the
#' method's own value wherever a band or the rounded centile depends on the
#' last digits; `exact = TRUE` computes every birth by the population's method
#' itself (1001 slices), for audits.
#'
#' @param population The population's name or alias, in any case: `"United
#'   Kingdom"` (`"uk"`), `"United States"` (`"us"`), `"Sweden"` (`"se"`),
#'   `"New Zealand"` (`"nz"`), `"Australia"` (`"au"`). One for every birth,
#'   or a vector of one a birth (a missing one is the United Kingdom).
#' @param bwt,gest,wt,ht,sex,eth,par The seven inputs (see Details).
#' @param ... Not used: the options after it are named.
#' @param units Units of bare numbers, e.g. `c(bwt = "kg", wt = "lb", ht =
#'   "m")`; by default g, kg and cm.
#' @param na Texts that mean a missing value, replacing `c("NA", "NaN", ".")`
#'   (the empty text always does).
#' @param threads Threads that compute; by default `getOption("wrenfield.threads")`,
#'   or every core. The results are the same whatever the number.
#' @param exact `TRUE` to compute every birth by the population's method
#'   itself.
#' @return `centile()`: a numeric vector, `NA` where a birth was not computed.
#'   The centile may lie a little below 0 or above 100 (down to -0.0000055,
#'   up to 100.0000055) far out in the tails, as the model's integration
#'   gives; `compute()` flags it.
#' @seealso [add_centiles()] for data frames; [populations()] and
#'   [ethnic_groups()] for the populations and their groups.
#' @examples
#' centile("uk", bwt = 3400, gest = 280, wt = 64, ht = 163, sex = 1, eth = 1, par = 0)
#' # vectors, recycled; texts as people write them
#' centile("nz", bwt = c(3100, 3900), gest = "40+0", wt = 70, ht = 168,
#'         sex = "Male", eth = "Maori", par = 0)
#' # a missing input gives NA
#' centile("uk", bwt = c(3400, NA), gest = 280, wt = 64, ht = 163, sex = 1, eth = 1, par = 0)
#'
#' compute("uk", bwt = c(3400, 2450, -3400), gest = c("39+4", "38+0", "40+0"),
#'         wt = 64, ht = 163, sex = "F", eth = "Indian", par = 1)
#' @export
centile <- function(population, bwt, gest, wt, ht, sex, eth, par, ..., units = NULL, na = NULL,
                    threads = NULL, exact = FALSE) {
  call <- sys.call()
  no_more_arguments(list(...), call)
  births <- population_of_call(population, call)
  result <- run_births(list(bwt, gest, wt, ht, sex, eth, par), births$column, births$code, call,
    exact = exact, units = units, na = na, threads = threads
  )
  failed <- which(result$outcome > as.raw(1L)) # neither computed nor missing
  if (length(failed)) {
    wrenfield_warn("wrenfield_row_warning",
      sprintf(
        "%d of %d births not computed (compute() says why), the first (%d): %s",
        length(failed), result$rows, failed[1], result$error[failed[1]]
      ), call,
      rows = failed
    )
  }
  out <- result$centile
  if (length(bwt) == length(out) && !is.null(names(bwt))) {
    names(out) <- names(bwt)
  }
  out
}

#' @rdname centile
#' @param thresholds The band thresholds: `c(sga, lga)` (by default
#'   `c(10, 90)`; the finer labels stay at the 3rd and 97th or move with a
#'   threshold beyond them) or all four, `c(very_small, sga, lga,
#'   very_large)`.
#' @param strict `TRUE` to make a flagged birth an error (`"flagged: ..."`)
#'   with no centile.
#' @return `compute()`: a data frame with one row a birth and the columns
#'   `centile`, `rounded` (as the calculator shows it: the nearest whole
#'   number, halves up), `band` (`SGA`, `AGA`, `LGA`), `band_label` (with the
#'   finer labels, `SGA <3rd`, `LGA >97th`), `band_words`, `term_weight` (g),
#'   `weeks`, `proportion`, `expected_weight` (g), `spread` (g), `z`, `flags`
#'   (the plausibility flags, `"; "` between them; `NA` for none) and `error`
#'   (`NA` when computed, else why not: `"missing: bwt, gest"`). The bands
#'   are factors.
#' @export
compute <- function(population, bwt, gest, wt, ht, sex, eth, par, ..., thresholds = NULL, strict = FALSE,
                    units = NULL, na = NULL, threads = NULL, exact = FALSE) {
  call <- sys.call()
  no_more_arguments(list(...), call)
  births <- population_of_call(population, call)
  thresholds <- thresholds_of(thresholds, call)
  result <- run_births(list(bwt, gest, wt, ht, sex, eth, par), births$column, births$code, call,
    details = TRUE, flags = TRUE, thresholds = thresholds, strict = strict, exact = exact,
    units = units, na = na, threads = threads
  )
  fields <- c("centile", .column_fields(), "error")
  out <- result_columns(result, fields, thresholds)
  row_names <- if (length(bwt) == result$rows && !is.null(names(bwt)) && !anyDuplicated(names(bwt))) names(bwt)
  new_data_frame(out, result$rows, row_names)
}

new_data_frame <- function(columns, rows, row_names = NULL) {
  if (is.null(row_names)) {
    row_names <- if (rows > 0) c(NA_integer_, -as.integer(rows)) else integer()
  }
  structure(columns, class = "data.frame", row.names = row_names)
}

# A population for the whole call (its code), or one a birth (a column; the
# United Kingdom where one is missing).
population_of_call <- function(population, call) {
  if (length(population) == 1L && !is.na(population)) {
    return(list(code = population_code(population, call), column = NULL))
  }
  if (length(population) == 1L) {
    argument_error("population: missing", call)
  }
  list(code = 0L, column = population_column(population, call))
}

# The fields a caller asked for, as the columns of a data frame: the bands
# as factors of their texts, rounded as integers, the rest as they come.
result_columns <- function(result, fields, thresholds) {
  bands <- NULL
  out <- list()
  for (field in fields) {
    if (field %in% c("band", "band_label", "band_words")) {
      if (is.null(bands)) {
        bands <- .band_texts(thresholds)
      }
      out[[field]] <- band_factor(result$band, bands[[field]])
    } else if (!is.null(result[[field]])) {
      out[[field]] <- result[[field]]
    }
  }
  out
}

# The band of each birth (0 to 4, 255 for none) as a factor whose levels are
# the distinct texts of the five bands, in their order.
band_factor <- function(band, texts) {
  levels <- unique(texts)
  codes <- match(texts, levels)[as.integer(band) + 1L]
  structure(codes, levels = levels, class = "factor")
}
