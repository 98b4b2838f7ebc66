# The R package against the program: every example, and data frames against
# the CSV files they stand for, give the program's numbers bit for bit;
# a refusal gives the program's message. ZOVER_PROGRAM is the program,
# ZOVER_EXAMPLES the examples' folder, ZOVER_PYTHON a Python for the list
# of examples (tests/page_check.py examples).

program <- Sys.getenv("ZOVER_PROGRAM")
examples <- Sys.getenv("ZOVER_EXAMPLES")
skip_if(program == "" || examples == "", "ZOVER_PROGRAM and ZOVER_EXAMPLES name the program and examples/")

# The program's output and status, run in examples/.
run <- function(args, format = "csv") {
  old <- setwd(examples)
  on.exit(setwd(old))
  errors <- tempfile()
  out <- suppressWarnings(system2(program, c("--format", format, shQuote(args)), stdout = TRUE, stderr = errors))
  list(status = if (is.null(attr(out, "status"))) 0L else attr(out, "status"), out = out,
       err = paste(readLines(errors), collapse = "\n"))
}

# The binding's rows against the program's CSV, read apart: every number
# with strtod, compared bit for bit.
expect_program_rows <- function(rows, csv) {
  expected <- read.csv(text = paste(csv, collapse = "\n"), colClasses = "character", na.strings = character(0),
                       check.names = FALSE)
  expect_identical(names(expected), names(rows)[seq_along(expected)])
  for (column in names(expected)) {
    cells <- expected[[column]]
    want <- switch(column,
      measure = , rater = , class_label = , rater2 = , object = ifelse(cells == "", NA_character_, cells),
      class = , objects_used = , class2 = , count = ifelse(cells == "", NA_integer_, as.integer(cells)),
      .Call(zover:::zover_numbers, cells))
    expect_true(identical(rows[[column]], want, num.eq = FALSE), info = column)
  }
}

# The program's arguments as agreement()'s.
as_arguments <- function(args) {
  flags <- c("-f" = "frequencies", "-m" = "model", "--long" = "long", "--header" = "header", "--id" = "ids",
             "--missing" = "missing", "--labels" = "labels", "--objects" = "objects", "--pairs" = "pairs")
  values <- c("--weights" = "weights", "--alpha-level" = "alpha_levels", "--bootstrap" = "bootstrap",
              "--seed" = "seed", "--classes" = "classes")
  result <- list(missing = FALSE)
  i <- 1
  while (i < length(args)) {
    if (args[i] %in% names(flags)) {
      result[[flags[[args[i]]]]] <- TRUE
    } else {
      value <- args[i + 1]
      result[[values[[args[i]]]]] <- switch(values[[args[i]]], bootstrap = , seed = as.numeric(value),
                                            weights = value, strsplit(value, ",")[[1]])
      i <- i + 1
    }
    i <- i + 1
  }
  result$x <- if (startsWith(args[i], "/")) args[i] else file.path(examples, args[i])
  result$name <- args[i]
  result
}

python <- Sys.getenv("ZOVER_PYTHON", "python3")
listed <- system2(python, c(shQuote(file.path(examples, "..", "tests", "page_check.py")), "examples"), stdout = TRUE)
cases <- lapply(strsplit(listed, "\t"), function(fields) fields[-1])
names(cases) <- vapply(strsplit(listed, "\t"), `[`, "", 1)
cases$ordered_krippendorff <- c("--header", "--id", "--missing", "--weights", "linear", "--alpha-level",
                                "ordinal,interval,ratio", "krippendorff_units.csv")

test_that("every example gives the program's numbers", {
  for (name in names(cases)) {
    args <- cases[[name]]
    if (args[1] == "-m") {  # the answers file without its first line, the menu's 4
      model <- tempfile(fileext = ".txt")
      writeLines(readLines(file.path(examples, args[2]))[-1], model)
      args[2] <- model
    }
    expected <- run(args)
    expect_equal(expected$status, 0L, info = name)
    res <- do.call(agreement, as_arguments(args))
    expect_s3_class(res, "zover_results")
    expect_program_rows(res, expected$out)
  }
})

# Factors keep their levels' order as the classes' order; NA is missing.
long <- read.csv(file.path(examples, "ratings_long.csv"), stringsAsFactors = FALSE)
wide <- reshape(long, idvar = "item", timevar = "annotator", direction = "wide")[, -1]
names(wide) <- c("ann", "bob and \"co\"")
stance <- c("positive", "neutral", "negative")
scale <- c("low", "mid", "high")
ratings <- c("low", "mid", "high", NA, "mid", "low", "high", "mid", "high")
ordinal <- data.frame(r1 = ratings, r2 = c(ratings[-1], "low"), r3 = c(ratings[-(1:2)], "mid", "mid"))

# The program on the CSV file a data frame stands for, with `args`.
run_frame <- function(frame, args) {
  file <- tempfile(fileext = ".csv")
  write.csv(frame, file, row.names = FALSE, na = "")
  run(c(args, file))
}

test_that("a factor data frame with labels and NA is read as its file", {
  frame <- data.frame(lapply(wide, factor, levels = stance), check.names = FALSE)
  expected <- run_frame(frame, c("--header", "--missing", "--classes", paste(stance, collapse = ",")))
  expect_equal(expected$status, 0L)
  res <- agreement(frame)
  expect_program_rows(res, expected$out)
  expect_identical(unique(na.omit(res$class_label)), stance)
})

test_that("an ordered factor orders the weighted and ordinal coefficients", {
  frame <- data.frame(lapply(ordinal, factor, levels = scale, ordered = TRUE))
  args <- c("--weights", "quadratic", "--alpha-level", "ordinal,interval")
  expected <- run_frame(frame, c("--header", "--missing", "--classes", paste(scale, collapse = ","), args))
  res <- agreement(frame, weights = "quadratic", alpha_levels = c("ordinal", "interval"))
  expect_program_rows(res, expected$out)
  # Texts without their order are refused, naming classes.
  expect_error(agreement(ordinal, weights = "quadratic", alpha_levels = "ordinal"), "--classes", fixed = TRUE)
})

test_that("a matrix and a refusal", {
  numbers <- as.matrix(read.table(file.path(examples, "Zover_data.txt")))
  dimnames(numbers) <- NULL
  expect_program_rows(agreement(numbers), run("Zover_data.txt")$out)
  refused <- run(c("--header", "--id", "krippendorff_units.csv"))
  expect_equal(refused$status, 1L)
  expect_error(agreement(file.path(examples, "krippendorff_units.csv"), header = TRUE, ids = TRUE, missing = FALSE,
                         name = "krippendorff_units.csv"),
               sub("^zover: ", "", sub("add --missing", "add missing = TRUE", refused$err)), fixed = TRUE)
  expect_error(agreement(data.frame(a = c(1, 2), b = c("1", "x")), labels = FALSE),
               "ERROR in data, row 2, column \"b\": \"x\" is not a class number", fixed = TRUE)
  expect_error(agreement(ordinal, seed = 3), "add alpha_levels = \"nominal\"", fixed = TRUE)
  expect_error(agreement(ordinal, threads = 0), "threads: a whole number from 1 to 1024", fixed = TRUE)
})

test_that("the guide's examples print what it shows", {
  # doc/r.md's code blocks run in order, as one session, in a folder with
  # examples/; each output is the text block below its code.
  guide <- paste(readLines(file.path(examples, "..", "doc", "r.md")), collapse = "\n")
  blocks <- regmatches(guide, gregexpr("```(r|text)\n.*?```", guide))[[1]]
  folder <- tempfile()
  dir.create(folder)
  file.symlink(normalizePath(examples), file.path(folder, "examples"))
  old <- setwd(folder)
  on.exit(setwd(old))
  session <- new.env()
  ran <- 0
  for (i in seq_along(blocks)) {
    if (!startsWith(blocks[i], "```r\n")) next
    code <- sub("^```r\n(.*)```$", "\\1", blocks[i])
    out <- capture.output(source(textConnection(code), local = session, print.eval = TRUE, echo = FALSE))
    ran <- ran + 1
    if (i < length(blocks) && startsWith(blocks[i + 1], "```text\n")) {
      expect_identical(paste0(paste(out, collapse = "\n"), "\n"), sub("^```text\n(.*)```$", "\\1", blocks[i + 1]))
    }
  }
  expect_gte(ran, 4)
})
