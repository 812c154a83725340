# The R package against a vectorised base-R evaluation of the same formulas,
# on the same made-up births, in one run.
#
#   Rscript bench/r_benchmark.R [ROWS]     (bench/r_benchmark.sh finds the installed package)
#
# The base-R peer is what a researcher would write: every step vectorised
# over the births (each population's constants picked by the birth's
# population), and the centile's integral as a loop over its 1001 slices,
# one exponential of the whole column per slice. Its constants come from the
# package, so both compute the same model. Prints the wall clock and the
# processor time (every thread of this process) of each, births per second,
# the ratios, the largest difference between the centiles, and the load
# average before and after: the build machine is shared, and other people's
# work slows either side.
library(wrenfield)

args <- commandArgs(trailingOnly = TRUE)
rows <- if (length(args)) as.integer(args[1]) else 1000000L

made_up_births <- function(rows) {
  set.seed(16)
  data.frame(
    population = sample(c("uk", "us", "se", "nz", "au"), rows, replace = TRUE),
    bwt = round(rnorm(rows, 3350, 550)),
    gest = as.double(sample(224:293, rows, replace = TRUE)),
    wt = round(pmin(pmax(rnorm(rows, 67, 12), 40), 160), 1),
    ht = round(pmin(pmax(rnorm(rows, 164, 7), 140), 190)),
    sex = as.double(sample(0:1, rows, replace = TRUE)),
    eth = as.double(sample(1:4, rows, replace = TRUE)),
    par = as.double(sample(0:4, rows, replace = TRUE)),
    stringsAsFactors = FALSE
  )
}

# The model in base R, vectorised over the births, in the methods' order of
# evaluation. `code` is each birth's population, 1 to 5.
base_r_centiles <- function(code, bwt, gest, wt, ht, sex, eth, par) {
  sets <- lapply(0:4, wrenfield:::.coefficient_set)
  pick <- function(f) vapply(sets, f, numeric(1))[code]
  w <- wt - pick(function(s) s$weight[1])
  weight <- ((pick(function(s) s$weight[4]) * w + pick(function(s) s$weight[3])) * w +
    pick(function(s) s$weight[2])) * w
  h <- ht - pick(function(s) s$height[1])
  linear <- pick(function(s) s$height[2])
  cube <- pick(function(s) s$height[3])
  form <- vapply(sets, function(s) s$height_form, "")[code]
  height <- ifelse(form == "linear", linear * h,
    ifelse(form == "linear_minus_cube", h * linear - h * (h * (h * -cube)), (cube * (h * h) + linear) * h)
  )
  sex_term <- ifelse(sex == 1, pick(function(s) s$sex[1]), pick(function(s) s$sex[2]))
  ethnic <- pick(function(s) s$ethnic_other)
  for (p in 1:5) {
    mine <- code == p
    terms <- sets[[p]]$ethnic_term
    matched <- match(eth[mine], sets[[p]]$ethnic_code)
    ethnic[mine] <- ifelse(is.na(matched), ethnic[mine], terms[matched])
  }
  parity_terms <- vapply(sets, function(s) s$parity, numeric(5))
  parity <- parity_terms[cbind(ifelse(par %in% 0:3, par + 1, 5), code)]
  term <- weight + pick(function(s) s$constant) + height + sex_term + ethnic + parity
  term <- pmin(pmax(term, 1500), 4500)
  g <- gest / 7
  c0 <- sets[[1]]$proportion
  proportion <- ((c0[4] * g + c0[3]) * g + c0[2]) * g + c0[1]
  expected <- proportion * term
  spread <- expected * pick(function(s) s$coefficient_of_variation)
  z <- (bwt - expected) / spread
  slice <- abs(z) / 1000
  sum <- 0
  for (i in 1:1001) {
    x <- i * slice - slice / 2
    sum <- sum + exp(-x * x / 2) / 2.506628 * slice
  }
  p <- sum + 0.5
  100 * ifelse(z < 0, 1 - p, p)
}

timed <- function(expr) {
  times <- system.time(value <- expr, gcFirst = TRUE)
  list(value = value, wall = times[["elapsed"]], cpu = times[["user.self"]] + times[["sys.self"]])
}

load_average <- function() paste(strsplit(readLines("/proc/loadavg"), " ")[[1]][1:3], collapse = " ")

births <- made_up_births(rows)
cpu <- sub(".*: ", "", grep("^model name", readLines("/proc/cpuinfo"), value = TRUE)[1])
cat(sprintf(
  "%s births; %s; %d cores; kernel lanes %s; %s, wrenfield %s\n",
  format(rows, big.mark = ","), cpu, parallel::detectCores(), simd_level(), R.version.string,
  packageVersion("wrenfield")
))
cat("load average before:", load_average(), "\n")

invisible(with(births[1:1000, ], centile(population, bwt, gest, wt, ht, sex, eth, par))) # warm up
package <- timed(with(births, centile(population, bwt, gest, wt, ht, sex, eth, par)))
one_thread <- timed(with(births, centile(population, bwt, gest, wt, ht, sex, eth, par, threads = 1)))
frame <- timed(add_centiles(births))
codes <- match(births$population, populations()$alias)
peer <- timed(with(births, base_r_centiles(codes, bwt, gest, wt, ht, sex, eth, par)))
cat("load average after: ", load_average(), "\n")

stopifnot(!anyNA(package$value), identical(package$value, one_thread$value), identical(frame$value$centile, package$value))
audit <- seq_len(min(rows, 100000L))
exact <- with(births[audit, ], centile(population, bwt, gest, wt, ht, sex, eth, par, exact = TRUE))

line <- function(name, t) {
  cat(sprintf("%-40s %10.3f s %12s %10.3f s\n", name, t$wall, format(round(rows / t$wall), big.mark = ","), t$cpu))
}
cat(sprintf("%-40s %12s %12s %12s\n", "", "wall clock", "births/s", "processor"))
line("centile(), all cores", package)
line("centile(), threads = 1", one_thread)
line("add_centiles(), all cores", frame)
line("base R, vectorised, 1001-slice loop", peer)
cat(sprintf("centile() is %.1f times the base-R peer by the wall clock, %.1f times on one thread, %.1f times by processor time on one thread\n",
            peer$wall / package$wall, peer$wall / one_thread$wall, peer$cpu / one_thread$cpu))
cat(sprintf("add_centiles() is %.1f times the base-R peer by the wall clock\n", peer$wall / frame$wall))
cat(sprintf("largest difference from the base-R peer: %.2g percentage points; exact = TRUE (first %s births): %.2g\n",
            max(abs(package$value - peer$value)), format(length(audit), big.mark = ","),
            max(abs(exact - peer$value[audit]))))
