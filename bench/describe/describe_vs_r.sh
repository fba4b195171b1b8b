#!/usr/bin/env bash
# Checks the axis description and the group test of `ortelis` against R:
# the coordinates, contributions and cos2 of every point against the `ca`
# package, and the group test of every category against FactoMineR's
# `descfreq`, on one table. Prints the largest differences.
#
#   bench/describe/describe_vs_r.sh [BIN_DIR] [ROWS] [COLS]
#
# KEEP=1 keeps the work folder. BIN_DIR holds ortelis and ca.exe (default: build/bin). The table is made
# here: ROWS images (default 300) in 5 categories over COLS words (default
# 80), Poisson counts whose rates depend on the category, fixed seed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
ROWS=${2:-300}
COLS=${3:-80}
WORK=$(mktemp -d)
[ -n "${KEEP:-}" ] && echo "work folder: $WORK" || trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

Rscript --vanilla - "$ROWS" "$COLS" <<'R'
args <- commandArgs(TRUE); n <- as.integer(args[1]); m <- as.integer(args[2])
set.seed(7)
cat <- rep(1:5, length.out = n)
rates <- matrix(rgamma(5 * m, shape = 0.8, rate = 0.3), 5, m)
tab <- t(sapply(1:n, function(i) rpois(m, rates[cat[i], ] * runif(1, 0.5, 1.5))))
tab[rowSums(tab) == 0, 1] <- 1                        # no empty image
tab[1, colSums(tab) == 0] <- 1                      # no empty word
writeLines(c(paste(n, m), apply(tab, 1, paste, collapse = " ")), "t.txt")
writeLines(paste(cat, sprintf("img%04d.png", 0:(n - 1))), "images.txt")
writeLines(paste(1:5, c("flags", "stars", "kites", "boats", "trees")), "names.txt")
R

"$BIN/ca.exe" -k 0 "$WORK/t.txt" "$WORK/t.txt" > /dev/null
cat > project.xml <<'XML'
<XML><BASE href='.'/><FILE name='F' path='t.txt'/>
<FILE name='Z' path='t.txt_Z.txt'/><FILE name='W' path='t.txt_W.txt'/>
<FILE name='P' path='t.txt_P.txt'/><FILE name='Q' path='t.txt_Q.txt'/>
<FILE name='LAMBDA' path='t.txt_Lambda.txt'/>
<FILE name='LABEL' path='images.txt'/><FILE name='CATEGORIES' path='names.txt'/></XML>
XML
# Every point of every pole: the description then holds each point once per axis.
"$BIN/ortelis" --describe-axes axes.csv --top 100000 project.xml
for c in flags stars kites boats trees; do
  "$BIN/ortelis" --describe-category "$c" "group_$c.csv" project.xml
done
uptime

Rscript --vanilla - <<'R'
suppressPackageStartupMessages({ library(ca); library(FactoMineR) })
l <- readLines("t.txt"); hd <- as.integer(strsplit(l[1], " ")[[1]])
tab <- matrix(scan(text = l[-1], quiet = TRUE), hd[1], hd[2], byrow = TRUE)
colnames(tab) <- 0:(ncol(tab) - 1)
res <- ca(tab)
K <- length(res$sv)
d <- read.csv("axes.csv", colClasses = c(label = "character"))
K <- min(K, max(d$axis))
worst <- c(coordinate = 0, contribution = 0, cos2 = 0)
for (kind in c("image", "word")) {
  if (kind == "image") { std <- res$rowcoord; mass <- res$rowmass; dist <- res$rowdist }
  else { std <- res$colcoord; mass <- res$colmass; dist <- res$coldist }
  for (k in 1:K) {
    s <- d[d$kind == kind & d$axis == k, ]
    i <- s$index + 1
    pc <- std[i, k] * res$sv[k]
    # The sign of an axis is arbitrary: align R's with ours.
    if (sum(pc * s$coordinate) < 0) pc <- -pc
    ctr <- mass[i] * std[i, k]^2          # of standard coordinates: no eigenvalue
    cos2 <- pc^2 / dist[i]^2
    worst["coordinate"] <- max(worst["coordinate"], abs(pc - s$coordinate))
    worst["contribution"] <- max(worst["contribution"], abs(ctr - s$contribution))
    worst["cos2"] <- max(worst["cos2"], abs(cos2 - s$cos2))
    # Every point with a non-zero coordinate is listed, each once.
    stopifnot(nrow(s) == sum(std[, k] != 0))
  }
}
cat(sprintf("points: %d images x %d words, %d axes compared\n", nrow(tab), ncol(tab), K))
cat(sprintf("largest absolute difference against ca: coordinate %.3g, contribution %.3g, cos2 %.3g\n",
            worst["coordinate"], worst["contribution"], worst["cos2"]))

cats <- sub("^[0-9]+ ", "", readLines("names.txt"))
lab <- as.integer(sub(" .*", "", readLines("images.txt")))
df <- descfreq(tab, by.quali = factor(lab, labels = cats), proba = 1)
wp <- 0; wv <- 0; wc <- 0; nw <- 0; wt <- 0; nt <- 0; wd <- 0
for (c in cats) {
  r <- df[[c]]
  o <- read.csv(paste0("group_", c, ".csv"))
  m <- match(as.character(o$word), rownames(r))
  stopifnot(!any(is.na(m)), nrow(o) == nrow(r))
  r <- r[m, , drop = FALSE]
  wc <- max(wc, abs(r[, "Intern freq"] - o$count_in), abs(r[, "Glob freq "] - o$count_all))
  # p-values: relative difference where R's is a normal double; below
  # 1e-300 R's own phyper and qnorm lose digits (subnormal numbers), while
  # ortelis keeps the tail as a logarithm: reported apart.
  ok <- r[, "p.value"] >= 1e-300
  wp <- max(wp, abs(r[ok, "p.value"] - o$p_value[ok]) / r[ok, "p.value"])
  wv <- max(wv, abs(r[ok, "v.test"] - o$v_test[ok]))
  # There, the reference is R's tail as a logarithm (phyper with log.p),
  # which descfreq does not use; ortelis's test value is checked by taking
  # it back through pnorm (R 4.2's qnorm with log.p loses digits beyond
  # about 30 standard deviations, pnorm does not).
  tiny <- which(r[, "p.value"] < 1e-300)
  N <- sum(tab); n <- sum(tab[lab == match(c, cats), ])
  for (k in tiny) {
    x <- o$count_in[k]; K <- o$count_all[k]
    over <- x / K > n / N
    lt <- if (over) phyper(x - 1, K, N - K, n, lower.tail = FALSE, log.p = TRUE) else phyper(x, K, N - K, n, log.p = TRUE)
    back <- pnorm(-abs(o$v_test[k]), log.p = TRUE)
    wt <- max(wt, abs(back - lt) / abs(lt))
    if (is.finite(r[k, "v.test"])) wd <- max(wd, abs(r[k, "v.test"] - o$v_test[k]))
  }
  nt <- nt + sum(r[, "p.value"] < 1e-300)
  nw <- nw + nrow(o)
}
cat(sprintf("descfreq, %d categories, %d word tests: counts differ by %g at most; p >= 1e-300: p-value relative difference %.3g, v-test absolute difference %.3g\n",
            length(cats), nw, wc, wp, wv))
cat(sprintf("  %d tests with p < 1e-300: log tail from the v-test within %.3g (relative) of R's phyper(log.p = TRUE); v-test %.3g from descfreq's, whose p is subnormal there\n", nt, wt, wd))
R
