#' The populations and their ethnic groups
#'
#' `populations()` lists the five populations whose coefficient sets the
#' package applies; `ethnic_groups()` the ethnic groups of one, with the codes
#' that `eth` takes. A group's name is accepted in `eth` in any case.
#'
#' @param population A population's name or alias, in any case.
#' @return `populations()`: a data frame with `name` (as the calculator writes
#'   it), `alias` (the short name every front end accepts) and `method` (the
#'   name of the population's method in the calculator component).
#'   `ethnic_groups()`: a data frame with `code` and `name`, in code order;
#'   code 1 is the population's reference group.
#' @examples
#' populations()
#' ethnic_groups("nz")
#' # a factor of group names with the population's groups as its levels
#' factor(c("Maori", "European"), levels = ethnic_groups("nz")$name)
#' @export
populations <- function() {
  new_data_frame(.populations(), 5L)
}

#' @rdname populations
#' @export
ethnic_groups <- function(population) {
  groups <- .ethnic_groups(population_code(population, sys.call()))
  new_data_frame(groups, length(groups$code))
}

#' The version of the coefficient sets and the batch kernel's lanes
#'
#' `coefficient_set_version()` is the version of the five coefficient sets,
#' as the calculator component names its own ("5.15_UK"). `simd_level()` is
#' the widest vector instruction set the batch kernel runs on this processor
#' (`"avx512"`, `"avx2"`, `"sse2"` or `"portable"`).
#' @return A character string.
#' @examples
#' coefficient_set_version()
#' simd_level()
#' @export
coefficient_set_version <- function() .coefficient_set_version()

#' @rdname coefficient_set_version
#' @export
simd_level <- function() .simd_level()
