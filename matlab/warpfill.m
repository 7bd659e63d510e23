%WARPFILL  Place acquired k-space lines in a 3-D grid by line and plane.
%   KOUT = WARPFILL(Y, K, SZ) copies each acquired readout line of K to
%   line Y(s, 1) of plane Y(s, 2) of a zero-filled Nx-by-Ny-by-Z grid.
%   No density weighting is applied; grid lines that receive no line stay
%   0, and of two lines with the same coordinates the later one is kept.
%
%   Inputs
%     Y    real double N_acq-by-2 (further columns are ignored): the 1-based
%          line number (first column) and plane number (second column) of
%          each acquired line. Both are made 0-based in single precision
%          and truncated toward zero, so [3.5 1.9] lands on line 2, plane 0
%          (0-based). A line whose 0-based line or plane number truncates
%          outside 0 ... Ny-1 or 0 ... Z-1 (a value of 0 or less, beyond
%          the grid, NaN, Inf) is left out.
%     K    double Nx-by-N_acq, complex or real (real data are taken with
%          zero imaginary parts). The data are rounded to single precision
%          on the way in.
%     SZ   double with three values [Nx Ny Z], each truncated toward zero.
%          Nx must equal the first size of K (the call is refused
%          otherwise); Ny and Z are from 1 to 32767.
%
%   Output
%     KOUT complex double Nx-by-Ny-by-Z.
%
%   Every call prints "input Y lines:" and the 0-based coordinates. A
%   rejected argument prints a message and returns no output. Every size
%   (Nx, Ny, Z and N_acq) is at most 32767.
%
%   Example
%     Y = [1 1; 2 1; 1 2];
%     K = complex(randn(64, 3), randn(64, 3));
%     KOUT = warpfill(Y, K, [64 2 2]);    % KOUT(:, 2, 2) stays 0
%
%   See also LINEPLACE, HALFSCAN.
