%SENSE  Cartesian SENSE unfolding of aliased coil images.
%   [IMG, UNMIX] = SENSE(W, S, ACCEL) unfolds the coil images S, acquired
%   with every ACCEL-th phase-encode line (along the second dimension) and
%   zero-filled to full size, with the coil sensitivities W. The pixels
%   (x, y + m*Ny/ACCEL), m = 0 .. ACCEL-1, fold onto each other; for each
%   such group the L-by-D matrix of the coil sensitivities of its D members
%   with any sensitivity is inverted with a singular value decomposition
%   (pseudo-inverse), and every member's pixel gets its own row of
%   unmixing coefficients u. The unfolded value of a pixel is then
%   sum over coils q of u(q) * S(x, y, q), for every frame.
%
%   [IMG, UNMIX] = SENSE(W, S, ACCEL, THRESHOLD) limits the noise gain of
%   each row: when norm(u) exceeds THRESHOLD times the norm of the pixel's
%   own sensitivity vector, the overlap of the other group members with
%   this pixel's sensitivity is weighted down, the weight found by
%   bisection (at most 21 trials) until norm(u) meets the limit within
%   1 %. The default THRESHOLD, 1.2e7, leaves practically every row alone.
%
%   Inputs
%     W          complex double Nx-by-Ny-by-L (exactly three dimensions, so
%                at least two coils): the coil sensitivities. Nx and Ny at
%                most 32767, L at most 16383.
%     S          complex double Nx-by-Ny-by-L, or Nx-by-Ny-by-Nf-by-L for
%                Nf frames: the aliased coil images at full size (so each
%                repeats with period Ny/ACCEL along the second dimension).
%     ACCEL      double; its first element, truncated toward zero, is the
%                acceleration factor, from 1 to 16383, dividing Ny.
%     THRESHOLD  double; its first element, in single precision, is the
%                limit on each row's gain.
%
%   Outputs
%     IMG    complex double Nx-by-Ny-by-Nf: the unfolded images (0 where no
%            coil has sensitivity).
%     UNMIX  complex double L-by-Nx-by-Ny: the unmixing coefficients as
%            stored, two real numbers per element. The 2L numbers of pixel
%            (x, y) are the real parts of u(1..L) followed by the negated
%            imaginary parts, paired in order: UNMIX(1, x, y) is
%            real(u(1)) + i*real(u(2)), UNMIX(2, x, y) is
%            real(u(3)) + i*real(u(4)), and so on; for two coils the
%            second element is -imag(u(1)) - i*imag(u(2)). Rebuild u with
%              b = reshape([real(UNMIX(:, x, y)).'; imag(UNMIX(:, x, y)).'], [], 1);
%              u = b(1:L) - 1i * b(L+1:end);
%
%   The call prints "accel = R", the threshold when given, and the fold
%   shifts ("alias:"). A decomposition that does not converge is reported
%   on the process's standard output ("svd failed at point (x,y,0)" and a
%   count) and its result used; a threshold that cannot be met within 21
%   trials gives "Warning: Weight of ..." on standard error. A rejected
%   input prints a message naming it and returns no output.
%
%   Example
%     % 4-fold aliased coil images s (256-by-256-by-8), maps W
%     [img, unmix] = sense(W, s, 4);
%     imagesc(abs(img)); axis image
%
%   See also COILSENS, LCURVESENSE.
