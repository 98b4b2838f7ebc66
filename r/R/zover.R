# zover: the engine of the zover program in R. agreement() reads a file by
# its path, or a data frame or matrix as the CSV file it stands for, and
# returns every value as the command line's --format csv gives it.

observed <- c("raw", "frequencies", "long")

# Each argument of agreement() and the engine's field it sets, with the
# layouts it fits and the command line's option that the engine's messages
# name: a new option of the engine is one line here (and its argument).
options_table <- list(
  header = list(field = "header", layouts = observed, option = "--header"),
  ids = list(field = "id", layouts = "raw", option = "--id"),
  missing = list(field = "missing", layouts = c("raw", "long"), option = "--missing"),
  labels = list(field = "labels", layouts = observed, option = "--labels"),
  classes = list(field = "classes", layouts = observed, option = "--classes"),
  weights = list(field = "weights", layouts = observed, option = "--weights"),
  alpha_levels = list(field = "levels", layouts = observed, option = "--alpha-level"),
  bootstrap = list(field = "samples", layouts = observed, option = "--bootstrap"),
  seed = list(field = "seed", layouts = observed, option = "--seed"),
  level = list(field = "level", layouts = c(observed, "model"), option = "--level"),
  bootstrap_method = list(field = "method", layouts = observed, option = "--bootstrap-method"),
  sep = list(field = "separator", layouts = observed, option = "--sep"),
  no_header = list(field = "no_header", layouts = observed, option = "--no-header"),
  raters = list(field = "raters", layouts = "raw", option = "--raters"),
  long_columns = list(field = "long_columns", layouts = "long", option = "--long-columns"),
  pairs = list(field = "pairs", layouts = observed, option = "--pairs"),
  objects = list(field = "objects", layouts = c("raw", "long"), option = "--objects"),
  threads = list(field = "threads", layouts = c(observed, "model"), option = "--threads")
)
layouts <- c(raw = 0L, frequencies = 1L, model = 2L, long = 3L)  # the engine's Layout
weight_schemes <- c(identity = 0L, linear = 1L, quadratic = 2L)
alpha_levels <- c(nominal = 0L, ordinal = 1L, interval = 2L, ratio = 3L)
bootstrap_methods <- c(objects = 0L, pairs = 1L)  # the engine's BootstrapMethod
separators <- c(blank = 2L, "," = 3L, comma = 3L, ";" = 4L, semicolon = 4L, tab = 5L, "\t" = 5L)  # its Separator

flag <- function(name, value) {
  if (!is.logical(value) || length(value) != 1 || is.na(value)) stop(name, ": TRUE or FALSE", call. = FALSE)
  value
}

# The checks and conversions of each argument, by name.
convert <- list(
  header = flag, ids = flag, missing = flag, labels = flag, pairs = flag, objects = flag,
  classes = function(name, value) {
    labels <- enc2utf8(as.character(value))
    number <- grepl("^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)$", labels)
    values <- labels
    values[number] <- paste0("\001", as.numeric(labels[number]) + 0)  # "1" and "1.0" are one class
    if (anyNA(labels) || any(labels == "")) stop(name, ": an empty label", call. = FALSE)
    if (anyDuplicated(values)) stop(name, ": the label \"", labels[anyDuplicated(values)], "\" is given twice", call. = FALSE)
    if (length(labels) < 2 || length(labels) > 1000) stop(name, ": 2 to 1000 labels", call. = FALSE)
    labels
  },
  weights = function(name, value) choose(name, value, weight_schemes, FALSE),
  alpha_levels = function(name, value) choose(name, value, alpha_levels, TRUE),
  bootstrap = function(name, value) {
    if (!is.numeric(value) || length(value) != 1 || is.na(value) || value != round(value) || value < 0 || value > 1e6) {
      stop(name, ": a whole number from 0 to 1000000", call. = FALSE)
    }
    as.double(value)
  },
  seed = function(name, value) {
    if (is.numeric(value) && length(value) == 1 && !is.na(value) && value == round(value) && value >= 0 && value < 2^53) {
      return(format(value, scientific = FALSE))
    }
    if (is.character(value) && length(value) == 1 && grepl("^[0-9]{1,20}$", value)) return(value)
    stop(name, ": a whole number from 0 to 2^53, or its digits as a string up to 18446744073709551615", call. = FALSE)
  },
  bootstrap_method = function(name, value) choose(name, value, bootstrap_methods, FALSE),
  sep = function(name, value) choose(name, value, separators, FALSE),
  no_header = flag,
  raters = function(name, value) as.character(value),
  long_columns = function(name, value) as.character(value),
  threads = function(name, value) {
    if (!is.numeric(value) || length(value) != 1 || is.na(value) || value != round(value) || value < 1 || value > 1024) {
      stop(name, ": a whole number from 1 to 1024", call. = FALSE)
    }
    as.double(value)
  },
  level = function(name, value) {
    if (!is.numeric(value) || length(value) != 1 || is.na(value) || value <= 0 || value >= 1) {
      stop(name, ": a share between 0 and 1", call. = FALSE)
    }
    as.double(value)
  }
)

choose <- function(name, value, choices, many) {
  value <- as.character(value)
  if (length(value) == 0 || (!many && length(value) != 1)) stop(name, ": one of ", paste(names(choices), collapse = ", "), call. = FALSE)
  unknown <- setdiff(value, names(choices))
  if (length(unknown)) {
    stop(name, ": \"", unknown[1], "\" is not ", paste(names(choices), collapse = ", "), call. = FALSE)
  }
  if (anyDuplicated(value)) stop(name, ": \"", value[anyDuplicated(value)], "\" is given twice", call. = FALSE)
  unname(sort(choices[value]))  # in the engine's order
}

# --- Tables in memory -----------------------------------------------------------

# A column for the engine: numbers as doubles (NA, NaN: missing), anything
# else as codes from 1 into its distinct values' texts; a factor's levels in
# their order.
column <- function(name, values) {
  if (is.factor(values)) {
    return(list(name = name, codes = as.integer(values), texts = enc2utf8(levels(values)), levels = levels(values)))
  }
  if (is.numeric(values) && !inherits(values, c("Date", "POSIXt", "difftime"))) {
    return(list(name = name, numbers = as.double(values)))
  }
  values <- as.character(values)
  distinct <- unique(values[!is.na(values)])
  list(name = name, codes = match(values, distinct), texts = enc2utf8(distinct))
}

as_table <- function(x, header) {
  if (is.matrix(x)) {
    names <- colnames(x)
    x <- lapply(seq_len(ncol(x)), function(j) x[, j])
  } else {
    names <- names(x)
  }
  if (is.null(names)) names <- rep("", length(x))
  list(columns = Map(column, enc2utf8(names), x), header = header && !all(names == ""))
}

rating_columns <- function(layout, width, ids) {
  if (layout == "long") return(if (width > 2) 3L else integer(0))
  first <- if (isTRUE(ids)) 2L else 1L
  last <- width - (layout == "frequencies")
  if (last < first) integer(0) else first:last
}

# The engine's message in the terms of agreement(): the argument for the
# command line's option, and for a table its row and column for a file's
# line and field.
message_of <- function(text, x, table, name) {
  for (keyword in names(options_table)) {
    if (identical(convert[[keyword]], flag)) {
      text <- gsub(paste0("add ", options_table[[keyword]]$option, " to"), paste0("add ", keyword, " = TRUE to"),
                   text, fixed = TRUE)
    }
  }
  if (is.null(table)) return(text)
  row <- function(line) {
    number <- as.integer(line) - if (table$header) 1L else 0L
    if (number < 1) return("the column names")
    names <- rownames(x)
    if (is.null(names) || identical(names, as.character(seq_len(nrow(x))))) paste("row", number)
    else paste0("row \"", names[number], "\"")
  }
  prefix <- paste0("ERROR in file \"", name, "\", line ")
  if (!startsWith(text, prefix)) return(text)
  rest <- substring(text, nchar(prefix) + 1)
  found <- regmatches(rest, regexec("^([0-9]+)(, field ([0-9]+))?:", rest))[[1]]
  if (!length(found)) return(text)
  where <- row(found[2])
  if (nzchar(found[4])) {
    field <- as.integer(found[4])
    column <- table$columns[[field]]$name
    where <- paste0(where, ", column ", if (nzchar(column)) paste0("\"", column, "\"") else field)
  }
  paste0("ERROR in ", name, ", ", where, ":", substring(rest, nchar(found[1]) + 1))
}

#' Agreement of raters: the Zover model, kappas and the coefficients beside them.
agreement <- function(x, long = FALSE, missing = TRUE, classes = NULL, weights = NULL, alpha_levels = NULL,
                      bootstrap = 1000, seed = 1, level = 0.95, header = NULL, ids = FALSE, labels = NULL,
                      frequencies = FALSE, model = FALSE, name = NULL, bootstrap_method = NULL, sep = NULL,
                      no_header = NULL, raters = NULL, long_columns = NULL, pairs = FALSE, objects = FALSE,
                      threads = NULL) {
  chosen <- c(long = long, frequencies = frequencies, model = model)
  if (sum(chosen) > 1) stop(paste(names(chosen)[chosen], collapse = " and "), ": choose one layout", call. = FALSE)
  layout <- if (any(chosen)) names(chosen)[chosen] else "raw"
  given <- list(header = header, ids = ids, missing = missing, labels = labels, classes = classes,
                weights = weights, alpha_levels = alpha_levels, bootstrap = bootstrap, seed = seed, level = level,
                bootstrap_method = bootstrap_method, sep = sep, no_header = no_header, raters = raters,
                long_columns = long_columns, pairs = pairs, objects = objects, threads = threads)
  defaults <- list(ids = FALSE, missing = TRUE, bootstrap = 1000, seed = 1, level = 0.95)
  for (keyword in names(given)) {
    value <- given[[keyword]]
    set <- !is.null(value) && !identical(value, FALSE) && !identical(value, defaults[[keyword]])
    if (set && !(layout %in% options_table[[keyword]]$layouts)) {
      stop(keyword, " does not fit the ", layout, " layout", call. = FALSE)
    }
  }
  if (layout %in% c("frequencies", "model")) given$missing <- NULL
  if (is.null(alpha_levels) && (!identical(bootstrap, 1000) || !identical(seed, 1))) {
    stop("bootstrap and seed belong to the intervals of alpha_levels; add alpha_levels = \"nominal\" for the nominal alpha's",
         call. = FALSE)
  }

  table <- NULL
  is_path <- is.character(x) && length(x) == 1 && is.null(dim(x))
  if (!is_path) {
    if (layout == "model") stop("model data are read from a file: give its path", call. = FALSE)
    if (!is.data.frame(x) && !is.matrix(x)) stop("x: a data frame, a matrix or the path of a file", call. = FALSE)
    table <- as_table(x, if (is.null(header)) TRUE else header)
    rating <- table$columns[rating_columns(layout, length(table$columns), ids)]
    given$header <- table$header
    # The table is written with commas, and its first row is a header exactly
    # when it has column names.
    if (is.null(sep)) given$sep <- ","
    if (is.null(no_header) && !table$header) given$no_header <- TRUE
    if (is.null(labels)) given$labels <- any(vapply(rating, function(c) !is.null(c$codes), TRUE))
    levels <- Filter(Negate(is.null), lapply(rating, `[[`, "levels"))
    if (length(levels) && is.null(classes)) {
      if (!all(vapply(levels, identical, TRUE, levels[[1]]))) {
        stop("the factor columns have different levels: give classes", call. = FALSE)
      }
      given$classes <- levels[[1]]
    }
  }

  fields <- list(layout = layouts[[layout]])
  for (keyword in names(given)) {
    value <- given[[keyword]]
    if (is.null(value)) next
    if (keyword %in% c("header", "ids", "labels", "missing", "no_header", "pairs", "objects") &&
        identical(value, FALSE)) next
    if (!(layout %in% options_table[[keyword]]$layouts)) next
    fields[[options_table[[keyword]]$field]] <- convert[[keyword]](keyword, value)
  }

  name <- if (!is.null(name)) name else if (is_path) x else "data"
  results <- tryCatch(
    if (is_path) {
      .Call(zover_analyse_file, path.expand(x), name, fields)
    } else {
      columns <- lapply(table$columns, function(c) c[intersect(names(c), c("name", "numbers", "codes", "texts"))])
      .Call(zover_analyse_table, columns, as.double(NROW(x)), table$header, name, fields)
    },
    error = function(e) stop(simpleError(message_of(conditionMessage(e), x, table, name)))
  )
  for (text in .Call(zover_warnings, results)) warning(text, call. = FALSE)
  rows <- .Call(zover_rows, results)
  structure(as.data.frame(rows, stringsAsFactors = FALSE), class = c("zover_results", "data.frame"),
            zover = results)
}

engine <- function(x) {
  pointer <- attr(x, "zover")
  if (is.null(pointer)) stop("not the whole results of agreement()", call. = FALSE)
  pointer
}

#' The page: figures, tables and the report, as one HTML file.
report_html <- function(x, file) {
  html <- .Call(zover_print, engine(x), "html")
  writeBin(charToRaw(enc2utf8(html)), file)
  invisible(file)
}

# The input in one line, the table of coefficients and the model's overall
# agreement.
print.zover_results <- function(x, ...) {
  if (is.null(attr(x, "zover"))) return(NextMethod())
  input <- as.list(x)$input
  cat(sprintf("Zover: %s, %s objects, %d raters, %d classes\n", input$file, format(input$objects), input$raters,
              input$classes))
  table <- sub("^\n+", "", .Call(zover_print, engine(x), "table"))
  cat(table, if (!endsWith(table, "\n")) "\n", sep = "")
  overall <- x[x$measure == "zover_overall", ]
  if (nrow(overall)) {
    level <- as.list(x)$level  # given only where it is not 0.95
    if (is.null(level)) level <- 0.95
    low <- if ("ci95_low" %in% names(x)) overall$ci95_low else overall$ci_low
    high <- if ("ci95_high" %in% names(x)) overall$ci95_high else overall$ci_high
    cat(sprintf(" Zover model, overall agreement: %.4f (SE %.4f, %s %% CI %.4f to %.4f)\n", overall$estimate,
                overall$se, format(100 * level), low, high))
  }
  cat(sprintf(" (a data frame of %d values; summary() gives the report, as.list() the JSON)\n", nrow(x)))
  invisible(x)
}

summary.zover_results <- function(object, ...) {
  structure(list(text = .Call(zover_print, engine(object), "text")), class = "summary.zover_results")
}

print.summary.zover_results <- function(x, ...) {
  cat(x$text)
  invisible(x)
}

as.list.zover_results <- function(x, ...) {
  jsonlite::fromJSON(.Call(zover_print, engine(x), "json"), simplifyVector = FALSE)
}
