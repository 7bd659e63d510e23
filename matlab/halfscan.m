%HALFSCAN  Partial Fourier reconstruction by homodyne detection.
%   IMG = HALFSCAN(K, SZ) reconstructs the image of one 2-D slice from the
%   first N_acq of its Ny phase-encode lines (the columns of K; the
%   missing lines are the last ones). The missing lines are zero-filled,
%   k-space is weighted with the homodyne weighting (2 on the acquired
%   side outside the symmetric centre, 1 inside it, 0 on the missing
%   side), the image phase is estimated from a Gaussian-windowed copy of
%   the symmetric centre, and the real part of the phase-corrected image
%   is returned. When more than 95% of the lines are present the data are
%   treated as fully sampled.
%
%   IMG = HALFSCAN(K, SZ, FILT_TYPE) selects the weighting inside the
%   centre: 0 (default) flat, 1 a ramp falling from 2 to 0. The value is
%   truncated toward zero; below 0 counts as 0, above 1 as 1.
%
%   [IMG, WEIGHTING] = HALFSCAN(...) also returns the weighting used.
%
%   Inputs
%     K          double Nx-by-N_acq, complex or real (real data are taken
%                with zero imaginary parts), centred: the zero frequency
%                of the full k-space at line Ny/2 (0-based) and readout
%                point Nx/2. Nx must be even, from 2 to 32766.
%     SZ         double with at least two values; SZ(2), truncated toward
%                zero, is Ny: even, at least N_acq and at most 32766. SZ(1)
%                is not used (the image keeps the readout length of K).
%     FILT_TYPE  double, optional, see above. Further inputs are ignored.
%
%   Outputs
%     IMG        complex double Nx-by-Ny with zero imaginary parts: the
%                centred image, fftshift(ifft2(ifftshift(k))) of the
%                weighted k-space after phase correction. The phase is the
%                one-argument arctangent of the reference, so a pixel whose
%                reference phase lies beyond +-pi/2 comes out negative.
%     WEIGHTING  double Ny-by-1, the line weights.
%
%   Nothing is printed on success. A rejected argument prints a message and
%   returns no output; so does a symmetric centre of fewer than 2 lines,
%   too narrow for the phase window (it happens for N_acq at most Ny/2 + 1
%   with some sizes, for example Ny = 6 with 4 lines).
%
%   Example
%     x = phantom(256) .* exp(1i * linspace(-0.5, 0.5, 256));
%     K = fftshift(fft2(ifftshift(x)));
%     img = halfscan(K(:, 1:160), [256 256]);    % 5/8 partial Fourier
%     imagesc(real(img)); axis image
%
%   See also LINEPLACE, WARPFILL, XFORM2.
