# Turning what a caller passes (vectors of numbers, texts or factors, a data
# frame's columns) into the columns the compiled core reads, and checking the
# options of a call. No rule of reading lives here: texts go to the reading
# layer's vocabulary as they are, once per distinct text.
#
# A column is a double vector (NA and NaN are missing) or a list of the
# distinct texts and each row's 1-based position among them (NA missing),
# which is what a factor already is.

input_names <- function() .input_names()

# One input as the core reads it.
as_column <- function(x, name, call) {
  if (is.factor(x)) {
    return(list(levels(x), as.integer(x)))
  }
  if (inherits(x, c("Date", "POSIXt", "difftime"))) {
    wrenfield_stop("wrenfield_type_error",
      sprintf("%s: cannot read %s values as numbers or names", name, class(x)[1]), call)
  }
  if (is.character(x)) {
    texts <- unique(x)
    return(list(texts, match(x, texts)))
  }
  if (is.logical(x)) {
    # NA alone is R's missing value of any type; TRUE and FALSE are no
    # measurement and no code.
    if (!all(is.na(x))) {
      wrenfield_stop("wrenfield_type_error",
        sprintf("%s: cannot read logical values as numbers or names", name), call)
    }
    return(as.double(x))
  }
  if (inherits(x, "integer64")) {
    return(as.double(x))
  }
  if (is.numeric(x)) {
    return(if (is.double(x) && is.null(attributes(x))) x else as.double(unclass(x)))
  }
  wrenfield_stop("wrenfield_type_error",
    sprintf("%s: cannot read %s values as numbers or names", name, typeof(x)), call)
}

column_length <- function(column) {
  if (is.list(column)) length(column[[2]]) else length(column)
}

# A column of `rows` values, or of one for every row; a shorter one is
# recycled as R recycles, with R's warning when the lengths do not fit.
recycled <- function(column, rows, name, call) {
  length <- column_length(column)
  if (length == rows || length == 1L) {
    return(column)
  }
  if (rows %% length != 0) {
    wrenfield_warn("wrenfield_recycling_warning",
      sprintf("%s: %d values recycled to %d births (not a multiple)", name, length, rows), call)
  }
  if (is.list(column)) {
    column[[2]] <- rep_len(column[[2]], rows)
    column
  } else {
    rep_len(column, rows)
  }
}

# The code (0 to 4) of a population given for a whole call.
population_code <- function(population, call, what = "population") {
  if (is.factor(population)) {
    population <- as.character(population)
  }
  if (!is.character(population) || length(population) != 1L) {
    wrenfield_stop("wrenfield_argument_error",
      sprintf("%s: expected a population's name or alias (\"United Kingdom\", \"uk\", ...)", what), call)
  }
  if (is.na(population)) {
    argument_error(sprintf("%s: missing", what), call)
  }
  named <- .read_population(population)
  if (is.na(named$code)) {
    argument_error(paste0(what, ": ", named$error), call)
  }
  named$code
}

# A population a row: the distinct names with each row's position; a
# missing one takes the call's population.
population_column <- function(population, call) {
  if (!is.character(population) && !is.factor(population) && !all(is.na(population))) {
    wrenfield_stop("wrenfield_type_error",
      "population: expected the populations' names or aliases, as texts or a factor", call)
  }
  if (is.logical(population)) {
    population <- as.character(population)
  }
  as_column(population, "population", call)
}

# The four band thresholds: NULL for the usual ones (3, 10, 90, 97); the SGA
# and LGA centiles, whose finer labels the reading layer places; or all four.
thresholds_of <- function(thresholds, call) {
  if (is.null(thresholds)) {
    return(c(3, 10, 90, 97))
  }
  if (!is.numeric(thresholds) || !length(thresholds) %in% c(2L, 4L) || anyNA(thresholds)) {
    argument_error("thresholds: expected c(sga, lga) or c(very_small, sga, lga, very_large)", call)
  }
  thresholds <- as.double(thresholds)
  if (length(thresholds) == 2L) {
    choice <- .thresholds_for(thresholds[1], thresholds[2])
    if (!is.na(choice$error)) {
      argument_error(choice$error, call)
    }
    return(choice$thresholds)
  }
  texts <- .band_texts(thresholds)
  if (!is.na(texts$error)) {
    argument_error(paste0("thresholds: ", texts$error), call)
  }
  thresholds
}

# c(bwt = "kg", ht = "m"): the units of bare numbers.
units_of <- function(units, call) {
  if (is.null(units)) {
    return(NULL)
  }
  if (is.list(units)) {
    units <- unlist(units)
  }
  if (!is.character(units) || is.null(names(units)) || anyNA(units)) {
    argument_error("units: expected a named vector such as c(bwt = \"kg\", ht = \"m\")", call)
  }
  for (field in names(units)) {
    if (!field %in% c("bwt", "wt", "ht")) {
      argument_error(sprintf("units: only bwt, wt and ht take units, not %s", field), call)
    }
    problem <- .unit_problem(field, units[[field]])
    if (!is.na(problem)) {
      argument_error(sprintf("units: %s: %s", field, problem), call)
    }
  }
  units
}

na_of <- function(na, call) {
  if (is.null(na)) {
    return(NULL)
  }
  if (!is.character(na) || anyNA(na)) {
    argument_error("na: expected the texts that mean a missing value, such as c(\"NA\", \"-99\")", call)
  }
  na
}

threads_of <- function(threads, call) {
  if (is.null(threads)) {
    threads <- getOption("wrenfield.threads")
  }
  if (is.null(threads)) {
    return(0L) # every core this process may use
  }
  if (!is.numeric(threads) || length(threads) != 1L || is.na(threads) || threads < 1 || threads != round(threads)) {
    argument_error("threads: expected a whole number of at least 1", call)
  }
  as.integer(threads)
}

flag_of <- function(value, name, call) {
  if (!is.logical(value) || length(value) != 1L || is.na(value)) {
    argument_error(sprintf("%s: expected TRUE or FALSE", name), call)
  }
  value
}

no_more_arguments <- function(dots, call) {
  if (length(dots)) {
    given <- names(dots)
    given <- if (is.null(given)) "" else given[nzchar(given)]
    argument_error(sprintf(
      "unexpected argument%s after par%s; the options are named (units =, na =, threads =, ...)",
      if (length(dots) > 1L) "s" else "",
      if (length(given)) paste0(": ", paste(given, collapse = ", ")) else ""
    ), call)
  }
}

# The compiled computation over the inputs of a call: `values` the seven
# inputs (vectors or a data frame's columns), `population` a population for
# the call or one a birth.
run_births <- function(values, population, default_population, call, details = FALSE, flags = FALSE,
                       thresholds = c(3, 10, 90, 97), strict = FALSE, exact = FALSE, units = NULL,
                       na = NULL, threads = NULL) {
  names <- input_names()
  columns <- Map(function(x, name) as_column(x, name, call), values, names)
  lengths <- vapply(columns, column_length, numeric(1))
  if (!is.null(population)) {
    lengths <- c(lengths, column_length(population))
  }
  rows <- if (any(lengths == 0)) 0 else max(lengths)
  columns <- Map(function(column, name) recycled(column, rows, name, call), columns, names)
  if (!is.null(population)) {
    population <- recycled(population, rows, "population", call)
  }
  result <- .compute_columns(
    unname(columns), rows, population, default_population, threads_of(threads, call),
    details, flags, thresholds, flag_of(strict, "strict", call), flag_of(exact, "exact", call),
    units_of(units, call), na_of(na, call)
  )
  result$rows <- rows
  result
}
