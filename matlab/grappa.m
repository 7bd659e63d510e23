%GRAPPA  GRAPPA reconstruction of undersampled multi-coil Cartesian k-space.
%   [KSPACE, IMAGE, PARAMS] = GRAPPA(SZ, DATA, LINES) places the acquired
%   phase-encode lines DATA at the 1-based line numbers LINES of a
%   zero-filled M-by-N-by-L grid, calibrates GRAPPA kernels from the lines
%   whose neighbours were acquired too (the fully sampled centre), fills
%   every missing line whose source lines were acquired, and returns the
%   completed k-space, its root-sum-of-squares image and the kernels.
%
%   [...] = GRAPPA(SZ, DATA, LINES, KSIZE, DKS, PARAMS_IN, RADIUS, GROG)
%   sets the kernel size, the undersampling gaps, kernels to apply instead
%   of calibrating, the calibration radius and the GROG mode. Pass [] for
%   any of DKS, PARAMS_IN, RADIUS and GROG to keep its default.
%
%   Inputs
%     SZ         real double 1-by-3, [M N L]: readout samples, phase-encode
%                lines and coils of the output (truncated toward zero).
%                An N below 1 leaves N to LINES; an M or L of 0 gives
%                empty outputs of that shape and no kernels (PARAMS is
%                0-by-1). M*N*L must stay below 2^31.
%     DATA       complex double M-by-nY-by-L, the acquired lines in the
%                order of LINES.
%     LINES      real double nY-by-1, 1-based line numbers, each at least 1.
%                A number above N enlarges the grid to that many lines (a
%                grid that would not fit is refused); a line listed twice
%                keeps the later data.
%     KSIZE      char 'YxX': ky source lines by kx readout samples per
%                kernel. Default '2x5' (also when the text does not parse).
%                Offsets wrap around the grid, so ky may exceed N and kx
%                may exceed M; a kernel whose normal equations would not
%                fit is refused.
%     DKS        real double column of the gaps to reconstruct (truncated
%                toward zero). A gap of 1 or less names no pattern; a gap
%                beyond N wraps around the grid like any offset. Default:
%                derived from the gaps between consecutive entries of
%                LINES.
%     PARAMS_IN  kernels to apply, a struct array as returned in PARAMS
%                (fields dk, pattern, coef; dk ascending, at most 10
%                distinct values). When given, no calibration runs and
%                KSIZE, DKS, RADIUS and GROG are checked but not used. Its
%                elements are counted along the first dimension only.
%     RADIUS     real double scalar: the central fraction (0, 1] of the
%                readout used to calibrate; any other value uses a quarter.
%                Default 1. Lines are always filled over the whole readout.
%     GROG       0 (default) plain GRAPPA; 1 square GRAPPA operators (GROG)
%                for the kernels across lines; 2 adds operators along the
%                readout. Filling uses the operators' first L columns.
%
%   Outputs
%     KSPACE     complex double M-by-N-by-L, the acquired lines unchanged
%                and the missing lines filled; lines no kernel can reach
%                stay zero.
%     IMAGE      complex double M-by-N (imaginary parts 0): the square root
%                of the sum over coils of the squared magnitudes of
%                IFFT2 of each coil's k-space, shifted first by IFFTSHIFT
%                along rows and columns (KSPACE is centred k-space).
%     PARAMS     P-by-1 struct, one element per kernel pattern, grouped by
%                dk and in the order the filling tries them:
%                  dk       the gap the pattern serves
%                  pattern  one character per line of the kernel span:
%                           '*' source, 'o' unused, 'x' target, e.g. '*x*'
%                  coef     complex (kx*ky*L)-by-L weights, row
%                           l + ky*(c + L*k) (0-based) for source line l,
%                           coil c and readout offset k, one column per
%                           target coil; (kx*ky*L)-by-(kx*ky*L) with GROG
%                  dir      GROG only: 'normal' across lines, 'parallel'
%                           along the readout
%                Patterns are kept to 19 characters when read back.
%
%   Argument errors are printed on the console and the call returns no
%   outputs. Failures inside the kernel library are reported on the
%   standard error stream and the call carries on.
%
%   Example
%     % coils: M-by-N-by-L complex coil images, here 256-by-256-by-8
%     [M, N, L] = size(coils);
%     k = fftshift(fftshift(fft2(coils), 1), 2);  % centred k-space
%     lines = union(1:2:N, N/2-11:N/2+12)';       % R = 2, 24 centre lines
%     [kfull, img, par] = grappa([M N L], k(:, lines, :), lines);
%     imagesc(abs(img)); axis image; colormap gray
%     % the same kernels applied to the next frame, sampled alike
%     [k2, img2] = grappa([M N L], knext(:, lines, :), lines, '2x5', [], par);
%
%   See also XFORM2, FFT2, IFFT2.
