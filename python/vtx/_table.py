"""The toolkit's functions: name -> (outputs it returns, MATLAB call form).

The output count is what a call returns by default (nargout=None); a call
may ask for fewer, or for more, which the module then refuses itself.
A new module needs one line here and its build in build/mex-interleaved.
"""

MODULES = {
    "xform2": (1, "Y = xform2(X, DIR)"),
    "grappa": (3, "KSPACE, IMAGE, PARAMS = grappa(SZ, DATA, LINES, KSIZE, DKS, PARAMS_IN, RADIUS, GROG)"),
    "coilsens": (1, "MAPS = coilsens(K, Y, SZ, MASK)"),
    "sense": (2, "IMG, UNMIX = sense(W, S, ACCEL, THRESHOLD)"),
    "lcurvesense": (3, "X, XNORM, RESNORM = lcurvesense(W, K, Y, LAMBDA, ITERS)"),
    "unfold": (2, "KF, FILT = unfold(K, TYPE, BW)"),
    # cinefilter has one output; asking for a second is refused by the module.
    "cinefilter": (1, "KF = cinefilter(K, B, A)"),
    "flipmap": (1, "B = flipmap(K, THR)"),
    "coilmerge": (2, "IMG, WTS = coilmerge(DATA, WTS)"),
    "ghostfix": (2, "KC, SLOPES = ghostfix(K, R)"),
    "halfscan": (2, "IMG, WEIGHTING = halfscan(K, SZ, FILT_TYPE)"),
    "lineplace": (1, "KOUT = lineplace(Y, K, SZ)"),
    "warpfill": (1, "KOUT = warpfill(Y, K, SZ)"),
    "framecal": (3, "IMG, IMG_EVEN, PARAMS = framecal(EVEN, ODD, DATA)"),
}
