# The R doors of the parity test (parity_test.py writes the births, reads
# the outcomes):
#
#   Rscript parity_r.R BIRTHS.json OUTCOMES.json
#
# Each group of births shares its options (thresholds, strict, units) and
# goes through
#   r-compute   compute(), every input a character vector (NA where a value is not there)
#   r-numbers   compute(), every input a double vector, for the births of numbers only
#   r-frame     add_centiles() on a data.frame of factors, every field added (not under
#               strict, where the first bad row stops the call)
# with the population of each birth in a column. Numbers travel both ways as
# hexadecimal texts ("0x1.a8p+11"), so that no digit is lost.
library(wrenfield)

args <- commandArgs(trailingOnly = TRUE)
input <- jsonlite::fromJSON(args[1], simplifyVector = FALSE)
exact <- isTRUE(input$exact)
inputs <- c("bwt", "gest", "wt", "ht", "sex", "eth", "par")
fields <- c("rounded", "band", "band_label", "band_words", "term_weight", "weeks", "proportion",
            "expected_weight", "spread", "z", "flags")

texts_of <- function(values) vapply(values, function(v) if (is.null(v)) NA_character_ else v, "")
numbers_of <- function(values) vapply(values, function(v) if (is.null(v)) NA_real_ else as.numeric(v), 0)
hex <- function(x) sprintf("%a", x)

# One outcome a row, in the shape parity_test.py compares.
outcomes_of <- function(result) {
  lapply(seq_len(nrow(result)), function(k) {
    row <- result[k, , drop = FALSE]
    if (!is.na(row$error)) {
      return(list(error = row$error))
    }
    out <- list(centile = hex(row$centile))
    for (field in intersect(fields, names(result))) {
      value <- row[[field]]
      out[[field]] <- if (is.factor(value)) as.character(value)
                      else if (is.double(value)) hex(value)
                      else if (field == "flags") (if (is.na(value)) list() else as.list(strsplit(value, "; ", fixed = TRUE)[[1]]))
                      else value
    }
    out
  })
}

doors <- list(`r-compute` = list(), `r-numbers` = list(), `r-frame` = list())
for (group in input$groups) {
  options <- group$options
  thresholds <- c(options$sga, options$lga)
  units <- if (length(options$units)) unlist(options$units) else NULL
  population <- texts_of(group$population)
  texts <- lapply(inputs, function(name) texts_of(group$texts[[name]]))
  names(texts) <- inputs

  run <- function(columns) {
    do.call(compute, c(list(population), columns, list(
      thresholds = thresholds, strict = isTRUE(options$strict), units = units, exact = exact
    )))
  }
  doors$`r-compute` <- c(doors$`r-compute`, setNames(outcomes_of(run(texts)), group$rows))

  numeric <- vapply(group$numeric, isTRUE, TRUE)
  if (any(numeric)) {
    numbers <- lapply(inputs, function(name) numbers_of(group$numbers[[name]])[numeric])
    population_n <- population[numeric]
    result <- do.call(compute, c(list(population_n), numbers, list(
      thresholds = thresholds, strict = isTRUE(options$strict), units = units, exact = exact
    )))
    doors$`r-numbers` <- c(doors$`r-numbers`, setNames(outcomes_of(result), unlist(group$rows)[numeric]))
  }

  if (!isTRUE(options$strict)) {
    frame <- as.data.frame(lapply(texts, factor))
    frame$population <- factor(population)
    out <- add_centiles(frame, add = wrenfield:::.column_fields(), thresholds = thresholds, units = units,
                        exact = exact)
    stopifnot(identical(out[names(frame)], frame))
    doors$`r-frame` <- c(doors$`r-frame`, setNames(outcomes_of(out[c("centile", fields, "error")]), group$rows))
  }
}
writeLines(jsonlite::toJSON(doors, auto_unbox = TRUE, null = "null", digits = NA), args[2], useBytes = TRUE)
