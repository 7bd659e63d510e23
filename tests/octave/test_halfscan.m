% halfscan against the homodyne steps written with Octave's own functions
% (single-precision design, ifft2 with fftshift), its weighting on the
% edge cases of the design, the phantom at 5/8, 6/8 and 7/8 partial Fourier
% against the fully sampled magnitude, and hostile inputs.
1;
function [img, f2, narrow] = direct(k, ny, filt)
  [nx, nacq] = size(k);
  t = floor(ny / 2);
  w = [ones(1, nacq) zeros(1, ny - nacq)];
  i = 0; while w(i + 1) == 0 && i < t, i += 1; end
  j = ny - 1; while w(j + 1) == 0 && j > t, j -= 1; end
  fs = single(i / ny); fe = single((ny - j - 1) / ny);
  start = fs >= fe;
  if start, g = single(1) - fs; else, g = single(1) - fe; end
  if double(g) > 0.95, g = single(1); end
  K = fix((single(1) - g) * single(ny)); m = fix(single(ny) * g);
  L = single(0:ny - 1);
  lo = 2 * ~start;
  f2 = single(lo) * (L < K) + single(2 - lo) * (L >= m);
  c = L >= K & L < m;
  if filt == 1
    f2(c) = single(2) - single(2 * (L(c) - K)) ./ single(m - K);
  else
    f2(c) = 1;
  end
  narrow = m - K < 2;
  img = [];
  if narrow, return; end
  % phase window: 1 at the centre, 0.01 at the half-width
  cc = floor(double(K + m) * 0.5); h = floor(double(m - K) * 0.5);
  sigma = single(sqrt(-h^2 / (2 * log(0.01))));
  ii = single(0:h);
  v = single(exp(double(-(ii .* ii) ./ (sigma * single(2) * sigma))));
  f1 = zeros(1, ny, 'single');
  for s = [1 -1]
    at = cc + s * (0:h);
    f1(at(at >= 0 & at < ny) + 1) = v(at >= 0 & at < ny);
  end
  B = zeros(nx, ny); B(:, 1:nacq) = k;
  B = B .* double(f2);
  R = zeros(nx, ny); R(:, 1:nacq) = B(:, 1:nacq) .* double(f1(1:nacq));
  ci = @(x) fftshift(ifft2(ifftshift(x)));
  R = ci(R); B = ci(B);
  phi = atan(imag(R) ./ real(R));
  phi(real(R) == 0 & imag(R) >= 0) = 1.570796327;
  phi(real(R) == 0 & imag(R) < 0) = -1.570796327;
  img = real(B) .* cos(phi) + imag(B) .* sin(phi);
end

rand('state', 4); randn('state', 4);

% weighting: the named cases, then random even sizes against the design
[~, w] = halfscan(complex(randn(4, 160)), [4 256]);
assert(isequal(w, [2 * ones(96, 1); ones(64, 1); zeros(96, 1)]));
[~, w] = halfscan(complex(randn(4, 160)), [4 256], 1);
assert(isequal(w(97:160), double(single(2) - single(2 * (0:63)') / single(64))));
[~, w] = halfscan(complex(randn(4, 60)), [4 100]);
assert(isequal(w, [2 * ones(39, 1); ones(21, 1); zeros(40, 1)]));   % K = 39, not 40
[~, w] = halfscan(complex(randn(4, 97)), [4 100]);
assert(isequal(w, ones(100, 1)));                                    % g = 0.97 -> 1
[~, w] = halfscan(complex(randn(4, 16)), [4 16], 1);
assert(isequal(w, 2 - 2 * (0:15)' / 16));                            % nothing missing
for nacq = [1 10 20 33]                                              % j stops at t = 32
  [~, w] = halfscan(complex(randn(4, nacq)), [4 64]);
  assert(isequal(w, [2 * ones(31, 1); 1; 1; zeros(31, 1)]), 'N_acq %d', nacq);
end
for f = {0, 0.7, -3, [0.2 5]}
  [~, w] = halfscan(complex(randn(4, 40)), [4 64], f{1});
  assert(isequal(w, [2 * ones(24, 1); ones(16, 1); zeros(24, 1)]), 'filt_type %g', f{1}(1));
end
[~, w5] = halfscan(complex(randn(4, 40)), [4 64], 5);
[~, w1] = halfscan(complex(randn(4, 40)), [4 64], 1);
assert(isequal(w5, w1) && w1(25) == 2 && w1(40) == 2 - 2 * 15 / 16);
for trial = 1:60
  ny = 2 * randi([1 150]); nacq = randi([1 ny]); filt = randi([0 1]);
  [want_img, want_w, narrow] = direct(complex(randn(2, nacq)), ny, filt);
  out = evalc('try, [img, w] = halfscan(complex(randn(2, nacq)), [2 ny], filt); catch, end');
  if narrow
    assert(~isempty(strfind(out, 'too narrow for the phase window')), '%d of %d', nacq, ny);
  else
    assert(isempty(out) && isequal(w, double(want_w(:))), 'weights %d of %d', nacq, ny);
  end
end

% the image against the same steps with Octave's ifft2
for c = {[8 8 8 0], [8 6 10 1], [96 50 80 0], [64 40 64 1], [6 7 12 0], [128 72 128 1]}
  s = c{1};
  k = complex(randn(s(1), s(2)), randn(s(1), s(2)));
  [img, w] = halfscan(k, [s(1) s(3)], s(4));
  want = direct(k, s(3), s(4));
  assert(isreal(img) || all(imag(img(:)) == 0));
  check_close(real(img), want, 1e-12, sprintf('image %dx%d of %d', s(1), s(2), s(3)));
end

% the phantom: one coil with its smooth phase, centred k-space
p = vtx_phantom(256, 256, 1);
truth = abs(p.coil);
K = fftshift(fft2(ifftshift(p.coil)));
for frac = [5 6 7] / 8
  nacq = 256 * frac;
  img = halfscan(K(:, 1:nacq), [256 256]);
  zf = zeros(256); zf(:, 1:nacq) = K(:, 1:nacq);
  zimg = abs(fftshift(ifft2(ifftshift(zf))));
  e = norm(real(img(:)) - truth(:)) / norm(truth(:));
  ez = norm(zimg(:) - truth(:)) / norm(truth(:));
  printf('halfscan %d/8: nrmse %.4f, zero-filled %.4f\n', 8 * frac, e, ez);
  assert(e < 0.06 && e < ez / 2, 'partial Fourier %g: %g vs zero-filled %g', frac, e, ez);
end
img = halfscan(K, [256 256]);
check_close(real(img), truth, 1e-3, 'fully sampled');

% messages; nothing printed on success; no output on refusal
assert(isempty(evalc('halfscan(K(:, 1:160), [256 256]);')));
assert(isempty(evalc('halfscan(K(:, 1:160), [256 160], 0, ''ignored'', 7);')));
second = 'error with 2nd input: Need to declare a scalar value';
out = evalc('try, img = halfscan(K(:, 1:160), [256 0]); catch, end');
assert(~isempty(strfind(out, second)));
out = evalc('try, halfscan(); catch, end');
assert(~isempty(strfind(out, 'At least 2 input arguments are required.')));
good = {complex(randn(8, 6)), [8 8], 0};
hostile = {int32([1 2]), true(2, 2), struct('a', 1), {1, 2}, sparse([1 1; 2 2]), 'ab', [], ...
           NaN, Inf, -1, [NaN Inf], single([8 8]), complex([8 8], 1), zeros(2, 2, 2), ...
           [8 1e300], [8 -8], [8 7], [8 1e10], randn(7, 6), randn(8, 6, 2)};
for pos = 1:3
  for h = 1:numel(hostile)
    args = good;
    args{pos} = hostile{h};
    out = evalc('try, [img, w] = halfscan(args{:}); catch, end');
    if ~isempty(strfind(out, 'error with'))
      continue;
    end
    assert(isempty(out) && rows(w) == size(img, 2), 'input %d, hostile %d', pos, h);
  end
end
failed = false;
out = evalc('try, img = halfscan(randn(7, 6), [8 8]); catch, failed = true; end');
assert(failed && ~isempty(strfind(out, 'error with 1st input')));
printf('test_halfscan: all cases passed\n');
