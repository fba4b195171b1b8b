# Peer for the solver benchmark: R's ca package.
#   Rscript ca_r.R K TABLE OUTPREFIX
# Writes OUTPREFIX_Lambda.txt (the first K principal inertias) for compare.py.
args <- commandArgs(trailingOnly = TRUE)
k <- as.integer(args[1])
values <- scan(args[2], what = double(), quiet = TRUE)
x <- matrix(values[-(1:2)], nrow = values[1], ncol = values[2], byrow = TRUE)
rm(values)
# ca() fails on empty rows or columns (zero masses); they take no part in
# the analysis anyway.
x <- x[rowSums(x) > 0, colSums(x) > 0]
res <- ca::ca(x, nd = k)
lambda <- res$sv[1:k]^2
writeLines(c(as.character(k), format(lambda, digits = 17)), paste0(args[3], "_Lambda.txt"))
