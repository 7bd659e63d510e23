%LCURVESENSE  Regularized SENSE for arbitrary Cartesian sampling, by LSQR.
%   X = LCURVESENSE(W, K, Y) reconstructs one M-by-N image from the samples
%   K of L coils at the k-space positions Y by solving
%       min over x of  norm(E*x - K(:))^2 + lambda^2 * norm(x)^2
%   with LSQR for a whole list of regularization weights lambda at once
%   (one bidiagonalisation of E shared by all of them). E multiplies x by
%   each coil's sensitivity, takes the 2D FFT, scales it by 1/sqrt(M*N) and
%   keeps the sampled positions:
%       E*x = fft2(W(:,:,l) .* x)(Y(i,1)+1, Y(i,2)+1) / sqrt(M*N)
%   for sample i of coil l; the scaling makes E' the exact adjoint (for
%   positions listed once). The call prints the L-curve choice
%   " k = K, lam_opt = LAMBDA" on the process's standard output: the first
%   lambda (in list order) at which the residual estimate grows by more
%   than 0.1 % of the last lambda's residual, or the last lambda when none
%   does.
%
%   X = LCURVESENSE(W, K, Y, LAMBDA) uses the given weights;
%   X = LCURVESENSE(W, K, Y, LAMBDA, ITERS) runs ITERS iterations.
%   [X, XNORM, RESNORM] = LCURVESENSE(...) also returns, per lambda, the
%   last iteration's estimates of norm(x) and of norm(E*x - K(:)), the two
%   coordinates of the L-curve.
%
%   Inputs
%     W       complex double M-by-N-by-L (exactly three dimensions, so at
%             least two coils): the coil sensitivities.
%     K       complex double P-by-L: the samples, one column per coil, in
%             the order of Y.
%     Y       real double P-by-2, P >= 1: the 0-based positions [x y] of the
%             samples in the unshifted 2D FFT of an M-by-N image (index 0 is
%             the zero frequency), truncated toward zero; 0 <= x < M and
%             0 <= y < N. A position listed twice counts twice in E but only
%             its later sample reaches E'.
%     LAMBDA  real double 1-by-p, p >= 1: the weights, taken in single
%             precision. Default: the 20 values 10^(4 + 3*i/19), i = 0..19
%             (1e4 to 1e7), each printed as it is made.
%     ITERS   double; its first element, truncated toward zero, is the
%             number of iterations, from 1 to 100000. Default 20.
%
%   Outputs
%     X        complex double M-by-N-by-p: X(:,:,j) is the solution for
%              LAMBDA(j) after ITERS iterations.
%     XNORM    real double p-by-1: the solution-norm estimates.
%     RESNORM  real double p-by-1: the residual-norm estimates,
%              sqrt(rnorm^2 - lambda^2*XNORM^2) from LSQR's damped residual
%              rnorm; NaN where rounding makes the difference negative.
%
%   All-zero samples give zero images; when the iteration space is
%   exhausted early (exact data on a small problem) the solutions stop
%   where they are exact. The call prints an empty line first. A position
%   outside the grid is reported on standard error
%   ("input phase encode point out of range") and ends the call; any other
%   rejected input prints a message naming it. Neither returns an output.
%
%   Example
%     % every other line plus the centre of a 128-by-128 grid, 8 coils
%     [x, y] = ndgrid(0:127, [0:2:127, 1:2:7, 121:2:127]);
%     Y = [x(:) y(:)];
%     % K: P-by-8 samples of fft2(coil images)/128 at those positions
%     [X, xn, rn] = lcurvesense(W, K, Y, logspace(-3, 0, 8), 50);
%     loglog(rn, xn, 'o-');   % the L-curve
%
%   See also SENSE, COILSENS.
