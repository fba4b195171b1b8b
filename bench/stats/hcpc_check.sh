#!/usr/bin/env bash
# Checks `ortelis --clusters` against FactoMineR's HCPC on an indexed
# collection (by default the demo collection, made here):
#   HCPC(CA(table, ncp = D), nb.clust = K, consol = FALSE, graph = FALSE)
# with the D and K ortelis used, and compares the suggested cut, the
# between-cluster share of the inertia, the partitions (up to renumbering)
# and the paragons; then times both on the same table.
#
#   bench/stats/hcpc_check.sh [BIN_DIR] [PROJECT.xml | ROWS] [K]
#
# With a number of rows instead of a project, the table is made here: ROWS
# images in 6 categories over 200 words, Poisson counts whose rates depend on
# the category, fixed seed; the solver analyses it.
#
# BIN_DIR holds ortelis, ca.exe and ortelis-demo (default: build/bin). KEEP=1
# keeps the work folder. Installs R's FactoMineR with apt-get when missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
PROJECT=${2:-}
K=${3:-}
WORK=$(mktemp -d)
[ -n "${KEEP:-}" ] && echo "work folder: $WORK" || trap 'rm -rf "$WORK"' EXIT

if ! Rscript -e 'library(FactoMineR)' > /dev/null 2>&1; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends r-base-core r-cran-factominer > /dev/null
fi

if [ -z "$PROJECT" ]; then
  "$BIN/ortelis-demo" "$WORK/demo" > /dev/null
  PROJECT=$(ls "$WORK"/demo/*.xml | head -1)
elif [[ "$PROJECT" =~ ^[0-9]+$ ]]; then
  mkdir "$WORK/made"
  (cd "$WORK/made" && Rscript --vanilla - "$PROJECT" <<'R'
n <- as.integer(commandArgs(TRUE)[1]); m <- 200
set.seed(35)
cat <- rep(1:6, length.out = n)
rates <- matrix(rgamma(6 * m, shape = 0.6, rate = 0.4), 6, m)
tab <- t(sapply(1:n, function(i) rpois(m, rates[cat[i], ] * runif(1, 0.3, 2))))
tab[rowSums(tab) == 0, 1] <- 1
tab[1, colSums(tab) == 0] <- 1
writeLines(c(paste(n, m), apply(tab, 1, paste, collapse = " ")), "t.txt")
R
  )
  "$BIN/ca.exe" -k 12 "$WORK/made/t.txt" "$WORK/made/t.txt" > /dev/null
  cat > "$WORK/made/project.xml" <<'XML'
<XML><BASE href='.'/><FILE name='F' path='t.txt'/>
<FILE name='Z' path='t.txt_Z.txt'/><FILE name='W' path='t.txt_W.txt'/>
<FILE name='P' path='t.txt_P.txt'/><FILE name='Q' path='t.txt_Q.txt'/>
<FILE name='LAMBDA' path='t.txt_Lambda.txt'/></XML>
XML
  PROJECT=$WORK/made/project.xml
fi
PROJECT=$(cd "$(dirname "$PROJECT")" && pwd)/$(basename "$PROJECT")
# The analysed table, as the project names it (FILE F).
TABLE=$(sed -n "s/.*name=['\"]F['\"][^>]*path=['\"]\([^'\"]*\)['\"].*/\1/p" "$PROJECT" | head -1)
case "$TABLE" in /*) ;; *) TABLE=$(dirname "$PROJECT")/$TABLE ;; esac

cd "$WORK"
count=()
[ -n "$K" ] && count=(--count "$K")
start=$(date +%s.%N)
"$BIN/ortelis" --clusters part.csv "${count[@]}" "$PROJECT" > clusters.txt
ours=$(echo "$(date +%s.%N) - $start" | bc)
cat clusters.txt
# "K clusters (suggested: S) of N images on the first D axes ...;
#  between-cluster inertia B of T on those axes"
K=$(sed -n '1s/^[^:]*: \([0-9]*\) clusters.*/\1/p' clusters.txt)
SUGGESTED=$(sed -n '1s/.*(suggested: \([0-9]*\)).*/\1/p' clusters.txt)
D=$(sed -n '1s/.* on the first \([0-9]*\) axes.*/\1/p' clusters.txt)
BETWEEN=$(sed -n '1s/.*between-cluster inertia \([^ ]*\) of \([^ ]*\) on.*/\1 \2/p' clusters.txt)
"$BIN/ortelis" --describe-clusters desc.csv --count "$K" --dims "$D" "$PROJECT" > /dev/null
uptime

Rscript --vanilla - "$TABLE" "$K" "$D" "$SUGGESTED" "$BETWEEN" "$ours" <<'R'
suppressPackageStartupMessages(library(FactoMineR))
a <- commandArgs(TRUE)
K <- as.integer(a[2]); D <- as.integer(a[3]); suggested <- as.integer(a[4])
b <- as.numeric(strsplit(a[5], " ")[[1]]); ours <- as.numeric(a[6])
l <- readLines(a[1]); hd <- as.integer(strsplit(trimws(l[1]), " +")[[1]])
tab <- matrix(scan(text = l[-1], quiet = TRUE), hd[1], hd[2], byrow = TRUE)
rownames(tab) <- 0:(nrow(tab) - 1); colnames(tab) <- 0:(ncol(tab) - 1)
tab <- tab[, colSums(tab) > 0, drop = FALSE]     # CA() refuses empty words
t0 <- proc.time()[["elapsed"]]
res <- CA(tab, ncp = D, graph = FALSE)
t1 <- proc.time()[["elapsed"]]
h <- HCPC(res, nb.clust = K, consol = FALSE, graph = FALSE)
theirs <- proc.time()[["elapsed"]] - t1
caTime <- t1 - t0
gain <- h$call$t$inert.gain
shareR <- sum(gain[seq_len(K - 1)]) / sum(gain)
cat(sprintf("table %d images x %d words; D = %d axes (%.1f %% of the inertia), K = %d\n",
            nrow(tab), ncol(tab), D, 100 * sum(res$eig[1:D, 1]) / sum(res$eig[, 1]), K))
cat(sprintf("suggested cut: ortelis %d, HCPC %d\n", suggested, h$call$t$nb.clust))
cat(sprintf("between-cluster share of the inertia on the D axes: ortelis %.12f, HCPC %.12f, difference %.2e\n",
            b[1] / b[2], shareR, abs(b[1] / b[2] - shareR)))
cat(sprintf("inertia on the D axes: ortelis %.12g, HCPC %.12g\n", b[2], sum(gain)))

p <- read.csv("part.csv")
ourPart <- p$cluster[match(rownames(h$data.clust), as.character(p$image))]
theirPart <- as.integer(h$data.clust$clust)
ct <- table(ourPart, theirPart)
same <- all(rowSums(ct > 0) == 1) && all(colSums(ct > 0) == 1)
cat(sprintf("partitions equal up to renumbering: %s (sizes %s)\n", same, paste(sort(table(ourPart), TRUE), collapse = " ")))
# Their cluster of each of ours.
map <- apply(ct, 1, which.max)

d <- read.csv("desc.csv", colClasses = c(name = "character"))
coord <- res$row$coord[, 1:D, drop = FALSE]
mass <- res$call$marge.row
agree <- 0; agreeW <- 0
for (k in 1:K) {
  mine <- d$item[d$cluster == k & d$kind == "paragon"]
  hc <- as.integer(names(h$desc.ind$para[[map[k]]]))[seq_along(mine)]
  # The same rule around the weighted centre (each image by its mass), the
  # centre of the cluster in Ward's criterion.
  rows <- rownames(coord)[ourPart[match(rownames(coord), rownames(h$data.clust))] == k]
  g <- colSums(coord[rows, , drop = FALSE] * mass[match(rows, rownames(coord))]) / sum(mass[match(rows, rownames(coord))])
  dd <- sqrt(colSums((t(coord[rows, , drop = FALSE]) - g)^2))
  w <- as.integer(names(sort(dd)))[seq_along(mine)]
  agree <- agree + identical(as.integer(mine), hc)
  agreeW <- agreeW + identical(as.integer(mine), w)
  cat(sprintf("cluster %d: paragons ortelis %s | HCPC %s | weighted centre %s\n", k,
              paste(mine, collapse = " "), paste(hc, collapse = " "), paste(w, collapse = " ")))
}
cat(sprintf("paragons equal: %d of %d clusters to HCPC's (unweighted mean of the coordinates), %d of %d to the weighted centre's\n",
            agree, K, agreeW, K))
cat(sprintf("time: ortelis --clusters %.2f s (loading the results and the table, words of each cluster included); HCPC %.2f s (its descriptions included; CA before it %.2f s): HCPC / ortelis %.1f\n",
            ours, theirs, caTime, theirs / ours))
R
