%XFORM2  Forward or backward 2-D FFT of every slice of an array.
%   Y = XFORM2(X) computes the unscaled forward 2-D discrete Fourier
%   transform of every M-by-N slice of the M-by-N-by-L array X, as FFT2
%   does slice by slice.
%
%   Y = XFORM2(X, DIR) transforms forward when DIR begins with 'f' and
%   backward, scaled by 1/(M*N), when it begins with 'b', as IFFT2 does.
%   Any other first character leaves the data untransformed and reports
%   the direction on the standard error stream once per slice.
%
%   Inputs
%     X    double array, complex or real (real data are taken with zero
%          imaginary parts), M-by-N-by-L; dimensions beyond the third are
%          not transformed and not returned.
%     DIR  char, 'f' (default) or 'b'.
%
%   Output
%     Y    complex double, M-by-N-by-L.
%
%   No centring shift is applied. Sizes that are powers of two use the
%   split-radix transform, all others KISS FFT; one plan serves every slice.
%
%   Example
%     X = complex(randn(256, 192, 4), randn(256, 192, 4));
%     Y = xform2(X, 'f');
%     max(abs(Y(:) - reshape(fft2(X(:,:,1)), [], 1)))   % first slice
%     X2 = xform2(Y, 'b');                               % back to X
%
%   See also FFT2, IFFT2, GRAPPA.
