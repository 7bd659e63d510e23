%GHOSTFIX  Nyquist (N/2) ghost correction of echo-planar k-space.
%   [KC, SLOPES] = GHOSTFIX(K, R) measures, block by block, the linear
%   readout phase between the odd and the even navigator lines of the
%   reference R and removes it from the k-space K: in image space along
%   the readout, the odd lines of K are raised and the even lines lowered
%   by half of the fitted slope, so that the two line families agree.
%
%   Inputs
%     K    complex double M-by-N-by-..., the echo-planar k-space: M readout
%          samples (even, at most 32766), N lines. Every M-by-N slice of
%          the dimensions after the second is one block, in storage order.
%     R    complex double M'-by-K-by-..., the navigator reference: M'
%          readout samples (even), K navigator lines (at least 2) acquired
%          without phase encoding, with as many blocks as K has (the block
%          dimensions themselves may differ).
%
%   Outputs
%     KC      complex double, the size of K: the corrected k-space.
%     SLOPES  real double Q-by-1: the fitted slope of every block, in
%             radians per readout sample (single precision).
%
%   Per block, the even (1st, 3rd, ...) and the odd (2nd, 4th, ...)
%   navigator lines are averaged and taken to image space with the centred
%   inverse FFT. The phase of ODD .* conj(EVEN) is unwrapped along the
%   readout over the samples where |ODD| exceeds 5 % of its largest value
%   in the whole reference, and a straight line is fitted to it; a block
%   with fewer than two such samples gets slope 0. With three navigators acquired just
%   before the data in one echo train, the odd navigator shares the readout
%   polarity of the even data lines, hence the pairing. The phase ramp
%   runs about the readout centre M/2; M and M' need not be equal.
%
%   A NaN or Inf in a block's reference gives that block a NaN slope and
%   NaN data; the other blocks are fitted as if it were absent.
%
%   Example
%     [kc, s] = ghostfix(k, r);            % k 128x128x32, r 128x3x32
%     img = ifft2(ifftshift(ifftshift(kc, 1), 2));
%
%   See also FRAMECAL, XFORM2.
