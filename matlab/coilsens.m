%COILSENS  Coil sensitivity maps from the fully sampled centre of k-space.
%   MAPS = COILSENS(K, Y, SZ) estimates the sensitivity of every coil from
%   the central block of phase-encode lines of the multi-coil k-space K: it
%   keeps the largest run of lines present symmetrically around line N/2,
%   weights it with a separable Gaussian window (narrow along the readout),
%   transforms every coil to a low-resolution image and divides each coil
%   image by the root-sum-of-squares (RSS) of all coils, so that
%   sum(abs(MAPS).^2, 3) is 1 wherever the RSS is not 0.
%
%   MAPS = COILSENS(K, Y, SZ, MASK) with MASK non-zero also sets the maps to
%   0 in the background: pixels whose RSS falls below a threshold taken
%   from an 8-bin histogram of the RSS image, and isolated pixels (with 2
%   or fewer of their 8 neighbours above it) are cleared.
%
%   When the lines are undersampled (the gaps between consecutive entries
%   of Y grow beyond 1), the missing lines are first synthesized by GRAPPA
%   with kernels of 2 lines by 3 readout samples for a gap of 2, calibrated
%   on the fully sampled centre, over the central quarter of the readout;
%   the completed k-space is written to the file O.nd in the current
%   folder (an nddf array file, complex double, M-by-N-by-L with the
%   readout first), replacing any earlier file of that name.
%
%   Inputs
%     K     double nY-by-M-by-L (exactly three dimensions, so at least two
%           coils): the acquired lines in the order of Y, then the readout,
%           then the coils. Real data are taken with zero imaginary parts.
%     Y     real double nY-by-1, the 1-based phase-encode line numbers of
%           the rows of K, each from 1 to N after truncation toward zero.
%           A line listed twice keeps the later data.
%     SZ    real double, two dimensions; only SZ(1) is used: N, the number
%           of phase-encode lines of the maps (truncated toward zero, at
%           least 1).
%     MASK  real double, two dimensions; its first element truncated toward
%           zero switches the background mask on (non-zero) or off (0, the
%           default).
%
%   Output
%     MAPS  complex double N-by-M-by-L, the phase-encode lines first; 0
%           where the RSS is 0 and, with MASK on, in the background.
%
%   The call prints the 0-based line numbers it was given. A rejected input
%   prints a message naming it and returns no output.
%
%   Example
%     % every other line of 128 plus the central 32: 80 lines
%     Y = union(1:2:128, 49:80)';
%     % K: those lines (80-by-256-by-8 for 256 readout samples, 8 coils)
%     maps = coilsens(K, Y, [128 256], 1);
%     imagesc(abs(maps(:, :, 1))); axis image
%
%   See also GRAPPA, XFORM2.
