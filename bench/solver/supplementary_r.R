# Peer check of ca.exe's supplementary rows against R's ca package (suprow).
#   Rscript supplementary_r.R generate ROWS SUPROWS COLS SEED ACTIVE SUP
#       writes a topic-structured count table: ROWS active rows to ACTIVE,
#       SUPROWS further rows over the same columns to SUP (contingency-table
#       format: "rows cols", then the counts row by row)
#   Rscript supplementary_r.R compare K ACTIVE SUP
#       analyses ACTIVE with SUP as supplementary rows in R, reads ca.exe's
#       ACTIVE_Z.txt, ACTIVE_ZSup.txt and ACTIVE_Lambda.txt, and prints the
#       largest differences (coordinates up to the sign of each axis, which
#       is taken from the active rows).
args <- commandArgs(trailingOnly = TRUE)

write_table <- function(x, path) {
  con <- file(path, "w")
  writeLines(paste(nrow(x), ncol(x)), con)
  write.table(x, con, row.names = FALSE, col.names = FALSE)
  close(con)
}

read_table <- function(path) {
  v <- scan(path, what = double(), quiet = TRUE)
  matrix(v[-(1:2)], nrow = v[1], ncol = v[2], byrow = TRUE)
}

if (args[1] == "generate") {
  rows <- as.integer(args[2]); sup <- as.integer(args[3]); cols <- as.integer(args[4])
  set.seed(as.integer(args[5]))
  topics <- 8
  # Each row mixes two topics; each topic favours its own block of columns.
  loading <- matrix(rgamma(topics * cols, shape = 0.3), topics, cols)
  for (t in 1:topics) {
    block <- ((t - 1) * cols %/% topics + 1):(t * cols %/% topics)
    loading[t, block] <- loading[t, block] + 2
  }
  n <- rows + sup
  mix <- matrix(0, n, topics)
  for (i in 1:n) mix[i, sample(topics, 2)] <- runif(2)
  rate <- mix %*% loading
  rate <- rate / rowSums(rate) * 60
  x <- matrix(rpois(n * cols, rate), n, cols)
  x[cbind(1:n, sample(cols, n, replace = TRUE))] <- x[cbind(1:n, sample(cols, n, replace = TRUE))] + 1
  active <- x[1:rows, ]
  # Every column must be present among the active rows (a column absent
  # from them has no mass, and no coordinate in either program).
  missing <- colSums(active) == 0
  active[1, missing] <- 1
  write_table(active, args[6])
  write_table(x[(rows + 1):n, , drop = FALSE], args[7])
} else {
  k <- as.integer(args[2])
  active <- read_table(args[3]); sup <- read_table(args[4])
  x <- rbind(active, sup)
  res <- ca::ca(x, nd = k, suprow = (nrow(active) + 1):nrow(x))
  principal <- sweep(res$rowcoord[, 1:k, drop = FALSE], 2, res$sv[1:k], "*")
  z <- read_table(paste0(args[3], "_Z.txt"))
  zsup <- read_table(paste0(args[3], "_ZSup.txt"))
  lambda <- scan(paste0(args[3], "_Lambda.txt"), quiet = TRUE)[-1]
  a <- min(k, ncol(z))
  ract <- principal[1:nrow(active), 1:a, drop = FALSE]
  rsup <- principal[(nrow(active) + 1):nrow(x), 1:a, drop = FALSE]
  sign <- ifelse(colSums(ract * z[, 1:a, drop = FALSE]) < 0, -1, 1)
  rsup <- sweep(rsup, 2, sign, "*")
  ract <- sweep(ract, 2, sign, "*")
  cat(sprintf("table %d x %d, %d supplementary rows, %d axes\n", nrow(active), ncol(active), nrow(sup), a))
  cat(sprintf("largest |lambda difference|        %.3g (largest lambda %.4g)\n",
              max(abs(lambda[1:a] - res$sv[1:a]^2)), res$sv[1]^2))
  cat(sprintf("largest |Z difference|             %.3g (largest |Z| %.4g)\n",
              max(abs(z[, 1:a] - ract)), max(abs(ract))))
  cat(sprintf("largest |ZSup difference|          %.3g (largest |ZSup| %.4g)\n",
              max(abs(zsup[, 1:a] - rsup)), max(abs(rsup))))
  cat(sprintf("largest relative ZSup difference   %.3g (per axis, of the axis's largest |ZSup|)\n",
              max(sweep(abs(zsup[, 1:a] - rsup), 2, apply(abs(rsup), 2, max), "/"))))
}
