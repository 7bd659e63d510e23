%LINEPLACE  Place acquired k-space lines in a grid with density compensation.
%   KOUT = LINEPLACE(Y, K, SZ) puts each acquired readout line of K at its
%   phase-encode line Y of a zero-filled Nx-by-Ny-by-Z grid, slice by
%   slice, and scales every placed line by the width of the k-space
%   interval it stands for: a line with one empty line on each side is
%   multiplied by 2, a line inside a fully sampled stretch by 1, and the
%   outermost acquired line on each side takes the factor of its inner
%   neighbour. Grid lines that receive no line stay 0.
%
%   Inputs
%     Y    real double N_acq-by-1 (further columns are ignored): the 1-based
%          phase-encode line of each acquired line. A value is made 0-based
%          in single precision and truncated toward zero, so 3.7 lands on
%          line 3 (and 0.5 on line 1). Lines listed twice keep the later
%          data. A line whose 0-based number truncates outside 0 ... Ny-1
%          (a Y of 0 or less, of Ny+1 or more, NaN, Inf) is left out of
%          the grid and of the density weights.
%     K    double Nx-by-N_acq-by-Z, complex or real (real data are taken
%          with zero imaginary parts): the acquired lines of every slice.
%          The data are rounded to single precision on the way in.
%     SZ   double with three values [Nx Ny Z], each truncated toward zero.
%          Nx and Z must equal the first and third sizes of K (the call is
%          refused otherwise); Ny is from 1 to 32767.
%
%   Output
%     KOUT complex double Nx-by-Ny-by-Z.
%
%   Every call prints "input Y lines:" and the 0-based line numbers. A
%   rejected argument prints a message and returns no output. Every size
%   (Nx, Ny, Z and N_acq) is at most 32767.
%
%   Example
%     Y = [1 3 5 7 8 9 10 12 14 16]';
%     K = complex(randn(64, 10, 2), randn(64, 10, 2));
%     KOUT = lineplace(Y, K, [64 16 2]);   % lines 1, 3, ... scaled by 2
%
%   See also WARPFILL, HALFSCAN, GRAPPA.
