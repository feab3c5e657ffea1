#!/usr/bin/env python3
"""scikit-learn's GridSearchCV over SGDClassifier on the search benchmark's
data (bench/search_data.py), the grid pellumar_search tries by default
(alpha = Lambda in 1e-6 .. 1e-1, max_iter = Passes in {5, 20}, every pass
run: tol=None), 5 stratified folds, one job, then the best setting refitted
on all the data as pellumar_search does. Prints the time and the peak
resident memory above the loaded data, in one line for
bench/search_bench.py. Usage: search_sklearn.py DATA.mat"""
import re
import sys
import time
import warnings

import numpy as np
import scipy.io
from sklearn.linear_model import SGDClassifier
from sklearn.model_selection import GridSearchCV, StratifiedKFold


def status_kb(name):
    with open("/proc/self/status") as f:
        return int(re.search(name + r":\s*(\d+)", f.read()).group(1))


def main():
    data = scipy.io.loadmat(sys.argv[1])
    X = data["X"].T.tocsr()
    labels = data["labels"].ravel()
    warnings.simplefilter("ignore")
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # the peak resident size starts again from here
    before = status_kb("VmRSS")
    grid = {"alpha": [1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1], "max_iter": [5, 20]}
    search = GridSearchCV(SGDClassifier(loss="hinge", average=True, tol=None, random_state=0), grid,
                          cv=StratifiedKFold(5, shuffle=True, random_state=0), n_jobs=1, refit=True)
    start, cpu = time.perf_counter(), time.process_time()
    search.fit(X, labels)
    wall, cpu = time.perf_counter() - start, time.process_time() - cpu
    peak = (status_kb("VmHWM") - before) / 1024
    print("scikit-learn %.2f s (processor %.2f s), peak +%.0f MB, best alpha %g max_iter %d accuracy %.4f"
          % (wall, cpu, peak, search.best_params_["alpha"], search.best_params_["max_iter"],
             search.best_score_))


if __name__ == "__main__":
    main()
