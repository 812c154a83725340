# Errors and warnings as classed R conditions (see ?wrenfield, "Conditions").

wrenfield_stop <- function(class, message, call, ...) {
  stop(structure(
    class = c(class, "wrenfield_error", "error", "condition"),
    list(message = message, call = call, ...)
  ))
}

wrenfield_warn <- function(class, message, call, ...) {
  warning(structure(
    class = c(class, "wrenfield_warning", "warning", "condition"),
    list(message = message, call = call, ...)
  ))
}

argument_error <- function(message, call) {
  wrenfield_stop("wrenfield_argument_error", message, call)
}
