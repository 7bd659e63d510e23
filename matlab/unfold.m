%UNFOLD  UNFOLD filtering of a dynamic series along its frames.
%   [KF, FILT] = UNFOLD(K) filters every time course of the complex series
%   K in the temporal-frequency domain with a notch at the temporal Nyquist
%   frequency, where the aliased signal of an interleaved acquisition sits,
%   and returns the filtered series and the filter.
%
%   [KF, FILT] = UNFOLD(K, TYPE) and UNFOLD(K, TYPE, BW) choose the filter
%   and the width of its band.
%
%   Each time course of T frames is mirrored to NT = 2T-2 frames (frames
%   1, 2, ..., T, T-1, ..., 2), transformed with FFT, multiplied bin by bin
%   by the filter, transformed back with IFFT, and its first T frames are
%   returned: KF = IFFT(FFT(mirrored) .* FILT), frames 1 to T.
%
%   Inputs
%     K     complex double, D0-by-D1-by-T, D0-by-D1-by-S-by-T or
%           D0-by-D1-by-S-by-T-by-C (S slices, C coils), every size at most
%           32767. Real arrays, arrays of 2 or of more than 5 dimensions
%           and series of fewer than 2 frames are refused.
%     TYPE  char; only its first character counts. 'l' selects 'lowp', a
%           pass band around zero frequency; 'm' selects 'midp', notches
%           at zero and at the Nyquist frequency; anything else (default
%           'h') selects 'high', the notch at the Nyquist frequency.
%     BW    real double; its first element is the width of the band as a
%           fraction of NT, used in single precision when strictly between
%           0 and 1. Any other value prints a notice and uses the default
%           0.1. A band that needs more bins than NT (few frames with a
%           wide band: with BW = 0.1, T must be at least 4) is refused.
%
%   Outputs
%     KF    complex double of the size of K, the filtered series.
%     FILT  real double NT-by-1, the filter that was applied (bin 1 is
%           zero frequency, bin NT/2+1 the Nyquist frequency), designed in
%           single precision: NT*BW bins of weight are removed (or kept),
%           with edges of weight d+0.5 and d around a full band of an odd
%           number of bins.
%
%   The only division is by NT (at least 2): no input makes it divide by
%   zero. A rejected input prints a message naming it and returns no
%   outputs.
%
%   Example
%     % k: 128-by-128-by-1-by-200-by-8, interleaved frames
%     [kf, filt] = unfold(k, 'h', 0.1);
%     plot(filt)
%     img = ifft2(kf(:, :, 1, 10, 1));
%
%   See also CINEFILTER, FFT, IFFT.
