#' Customised centiles for the births of a data frame
#'
#' Adds each row's centile, the fields named in `add` and the reason a row
#' was not computed to a data frame, a tibble or a data.table, keeping every
#' column it has and returning the same class.
#'
#' The inputs are the columns `bwt` (g), `gest` (days, or `"39+4"`), `wt`
#' (kg), `ht` (cm), `sex`, `eth` and `par`, found by name in any case (blanks
#' around a name do not matter), or named in `columns`. Each may hold numbers,
#' texts or a factor, read as [centile()] reads them. A `population` column,
#' if there is one, gives each row's population (a name or an alias); a row
#' where it is missing takes `population`.
#'
#' One bad row never stops the rest: it gets `NA` and its reason in `error`,
#' the words every Wrenfield front end uses. With `strict = TRUE` a flagged
#' row is an error too, and the first row with an error (not merely a missing
#' value) stops the call with a condition of class `wrenfield_row_error`
#' whose `row` is the row's number and `reason` the error.
#'
#' @param df A data frame, tibble or data.table.
#' @param population The population of every row without one of its own:
#'   a name or an alias (see [centile()]).
#' @param columns The columns of the inputs whose names differ from
#'   `bwt`, `gest`, ..., and of the population: `c(bwt = "birthweight_g",
#'   population = "country")`.
#' @param add The fields to add between `centile` and `error`, in this order:
#'   any of `rounded`, `band`, `band_label`, `band_words`, `term_weight`,
#'   `weeks`, `proportion`, `expected_weight` (also `expected`), `spread`,
#'   `z`, `flags` (see [compute()]); `character()` for none.
#' @param strict `TRUE` to make a flagged row an error and stop at the first
#'   row with an error.
#' @inheritParams centile
#' @return `df` with the columns `centile`, those of `add`, and `error`
#'   (`NA` for a computed row); a data frame, tibble or data.table as `df`
#'   was, with its row names. `df` itself is not changed (a data.table is
#'   copied).
#' @examples
#' births <- data.frame(
#'   id = c("A-17", "A-18", "A-19"),
#'   birthweight_g = c(3400, 2450, NA),
#'   gest = c("39+4", "38+0", "40+0"),
#'   wt = c(64, 58.5, 70), ht = c(163, 160, 171),
#'   sex = factor(c("Male", "Female", "Male")),
#'   eth = c("European", "Indian", "European"), par = c(0, 2, 1)
#' )
#' add_centiles(births, "uk", columns = c(bwt = "birthweight_g"))
#' @export
add_centiles <- function(df, population = "United Kingdom", columns = NULL, add = c("band", "flags"),
                         strict = FALSE, thresholds = NULL, units = NULL, na = NULL, threads = NULL,
                         exact = FALSE) {
  call <- sys.call()
  if (!is.data.frame(df)) {
    argument_error(sprintf("df: expected a data frame, a tibble or a data.table, not %s", class(df)[1]), call)
  }
  add <- added_fields(add, call)
  found <- find_columns(df, columns, call)
  for (name in c("centile", add, "error")) {
    if (name %in% names(df)) {
      argument_error(sprintf("the data frame already has a column named %s; rename it first", name), call)
    }
  }
  default <- population_code(population, call)
  births <- if (is.null(found$population)) NULL else population_column(df[[found$population]], call)
  thresholds <- thresholds_of(thresholds, call)
  details <- length(setdiff(add, "flags")) > 0
  result <- run_births(lapply(found$inputs, function(name) df[[name]]), births, default, call,
    details = details, flags = "flags" %in% add, thresholds = thresholds, strict = strict,
    exact = exact, units = units, na = na, threads = threads
  )
  if (strict) {
    failed <- which(result$outcome > as.raw(1L))
    if (length(failed)) {
      row <- failed[1]
      label <- attr(df, "row.names")
      where <- if (is.character(label)) sprintf("row %d (%s)", row, label[row]) else sprintf("row %d", row)
      wrenfield_stop("wrenfield_row_error", paste0(where, ": ", result$error[row]), call,
        row = row, reason = result$error[row]
      )
    }
  }
  with_columns(df, result_columns(result, c("centile", add, "error"), thresholds))
}

added_fields <- function(add, call) {
  if (is.null(add)) {
    return(character())
  }
  if (!is.character(add) || anyNA(add)) {
    argument_error("add: expected the names of fields, such as c(\"band\", \"flags\")", call)
  }
  add[add == "expected"] <- "expected_weight"
  fields <- .column_fields()
  unknown <- setdiff(add, fields)
  if (length(unknown)) {
    argument_error(sprintf(
      "add: unknown field %s; choose from %s", paste(unknown, collapse = ", "),
      paste(fields, collapse = ", ")
    ), call)
  }
  if (anyDuplicated(add)) {
    argument_error("add: a field is named twice", call)
  }
  add
}

# The column of each input, and of the population if there is one: named in
# `columns`, or found by its own name, in any case, blanks around it ignored.
find_columns <- function(df, columns, call) {
  if (is.list(columns)) {
    columns <- unlist(columns)
  }
  if (!is.null(columns) && (!is.character(columns) || is.null(names(columns)) || anyNA(columns))) {
    argument_error("columns: expected a named vector such as c(bwt = \"birthweight_g\")", call)
  }
  fields <- c(input_names(), "population")
  unknown <- setdiff(names(columns), fields)
  if (length(unknown)) {
    argument_error(sprintf(
      "columns: %s is not an input; the inputs are %s and population",
      paste(unknown, collapse = ", "), paste(input_names(), collapse = ", ")
    ), call)
  }
  keys <- tolower(trimws(names(df)))
  found <- list()
  missing <- character()
  for (field in fields) {
    if (field %in% names(columns)) {
      name <- columns[[field]]
      if (!name %in% names(df)) {
        wrenfield_stop("wrenfield_column_error", sprintf(
          "columns: %s is mapped to %s, which the data frame does not have", field, name
        ), call)
      }
      found[[field]] <- name
      next
    }
    candidates <- names(df)[keys == field]
    if (length(candidates) > 1L) {
      wrenfield_stop("wrenfield_column_error", sprintf(
        "the data frame has several columns for %s (%s); name one in columns =",
        field, paste(candidates, collapse = ", ")
      ), call)
    }
    if (length(candidates) == 1L) {
      found[[field]] <- candidates
    } else if (field != "population") {
      missing <- c(missing, field)
    }
  }
  if (length(missing)) {
    wrenfield_stop("wrenfield_column_error", sprintf(
      "the data frame lacks the column%s %s (map %s with columns = c(bwt = \"birthweight_g\", ...)); it has %s",
      if (length(missing) > 1L) "s" else "", paste(missing, collapse = ", "),
      if (length(missing) > 1L) "them" else "it", paste(names(df), collapse = ", ")
    ), call)
  }
  list(inputs = unname(found[input_names()]), population = found$population)
}

# `df` with the new columns after its own, of the class it has.
with_columns <- function(df, columns) {
  if (inherits(df, "data.table") && requireNamespace("data.table", quietly = TRUE)) {
    out <- data.table::copy(df)
    for (name in names(columns)) {
      data.table::set(out, j = name, value = columns[[name]])
    }
    return(out)
  }
  for (name in names(columns)) {
    df[[name]] <- columns[[name]]
  }
  df
}
