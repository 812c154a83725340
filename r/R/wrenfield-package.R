#' wrenfield: customised birthweight centiles
#'
#' The customised birthweight centile of a baby is the percentage of babies,
#' in the normal distribution of weights expected for this pregnancy (the
#' mother's height, booking weight, ethnic group and parity, the baby's sex
#' and the gestation at birth), that weigh less than this baby. The package
#' computes it for vectors ([centile()], [compute()]) and for data frames,
#' tibbles and data.tables ([add_centiles()]), with the coefficient sets of
#' five populations ([populations()], [ethnic_groups()]).
#'
#' Every birth is read as the other Wrenfield front ends read it (the
#' `custcent` command line, the Python package, the HTTP service, the C API):
#' the same vocabulary ("Male", "European", "39+4", "3.4kg", "4 or more"),
#' the same missing values and refusals, band thresholds and plausibility
#' flags, and the same batch kernel, so a birth gets the same centile to the
#' last bit, and the same error text, whichever way it goes in.
#'
#' @section Conditions:
#' Errors are R conditions of class `wrenfield_error` and one of
#' `wrenfield_argument_error` (an argument that cannot be used: an unknown
#' population for the whole call, thresholds, units, `add`),
#' `wrenfield_type_error` (an input of a type that holds no numbers or names:
#' logical values, dates, lists), `wrenfield_column_error` (a data frame
#' without an input's column) and `wrenfield_row_error` (under
#' `strict = TRUE`, the first row that could not be computed; its `row` and
#' `reason` say which and why). Warnings are of class `wrenfield_warning` and
#' `wrenfield_row_warning` ([centile()] found births it could not compute
#' for a reason other than a missing value) or `wrenfield_recycling_warning`
#' (input lengths that are not multiples of each other). Catch them with
#' [tryCatch()] or [withCallingHandlers()] by class.
#'
#' @keywords internal
#' @useDynLib wrenfield, .registration = TRUE
#' @importFrom Rcpp evalCpp
"_PACKAGE"
