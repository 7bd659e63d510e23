%FRAMECAL  GRAPPA calibration from a pair of opposite-polarity EPI frames.
%   [IMG, IMG_EVEN, PARAMS] = FRAMECAL(EVEN, ODD) merges an "even" and an
%   "odd" echo-planar frame of the same object, acquired with opposite line
%   polarity, into one phase-consistent reference k-space, calibrates GRAPPA
%   kernels (dk 2, pattern '*x*', 2 lines by 5 readout samples) for every
%   frame set on it, and rebuilds each frame from its odd lines and from its
%   even lines separately, filling the other half with GRAPPA. The two
%   images of each coil are phase-aligned and averaged.
%
%   [...] = FRAMECAL(EVEN, ODD, DATA) rebuilds DATA instead of ODD with the
%   kernels calibrated on EVEN and ODD.
%
%   Sizes fold to [M N Z L]: M readout samples (first dimension), N lines
%   (second), L coils (last dimension) and Z frame sets, the product of the
%   sizes in between (1 for three-dimensional inputs). Frames are square:
%   M = N, at most 32767.
%
%   Phase alignment takes two images of one coil slice and removes the
%   linear phase slope along the readout and the constant phase between
%   them, half from each: the slope comes from the dominant singular pair of
%   their phase-difference image over the pixels above a fifth of its
%   largest magnitude, the constant from the mean remaining difference.
%   Where no pixel qualifies (an all-zero image) the images stay as they are.
%
%   Inputs
%     EVEN       complex double M-by-N-by-...-by-L centred k-space of the
%                even frames, at least three dimensions. A real array is
%                taken with imaginary parts 0.
%     ODD        the odd frames, folding to the same [M N Z L].
%     DATA       optional, the data to rebuild: the same folded sizes, as
%                an array shaped like EVEN or as M-by-N-by-Z-by-L.
%                Default ODD.
%
%   Outputs
%     IMG        complex double M-by-N-by-Z-by-L coil images rebuilt from
%                DATA (image domain: FFTSHIFT(IFFT2(FFTSHIFT(k)))), each the
%                mean of its odd-line and even-line reconstructions after
%                alignment.
%     IMG_EVEN   the same for EVEN, then phase-aligned against IMG slice by
%                slice (IMG itself is returned before that alignment).
%     PARAMS     1-by-Z struct, one element per frame set, fields
%                  dk       2
%                  pattern  '*x*'
%                  coef     complex (10*L)-by-L weights in the layout of
%                           GRAPPA's kernels
%                GRAPPA accepts it as its 6th input and then uses the
%                first frame set only.
%
%   Argument errors are printed on the console and the call returns no
%   outputs; a call with no outputs still merges and calibrates. Failures
%   inside the library are reported on the standard error stream.
%
%   Example
%     % ev, od: 64-by-64-by-8 k-space of the two frames, 8 coils
%     [img, img_even, par] = framecal(ev, od);
%     imagesc(sqrt(sum(abs(img).^2, 4))); axis image; colormap gray
%     % the first frame set's kernels fill the odd frame's lines 2, 4, ...
%     k = grappa([64 64 8], od(:, 2:2:end, :), (2:2:64)', '2x5', [], par);
%
%   See also GRAPPA, XFORM2.
