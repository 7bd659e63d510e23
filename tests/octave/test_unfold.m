% unfold against the mirror / fft / weight / ifft chain computed here, its
% three filters for the documented tables, and hostile inputs.
1;
function y = reference(k, filt)
  % time is the 3rd dimension of 3-D input, the 4th otherwise
  td = 3 + (ndims(k) > 3);
  T = size(k, td);
  idx = [1:T, T-1:-1:2];
  sub = repmat({':'}, 1, ndims(k));
  sub{td} = idx;
  x = k(sub{:});
  shape = ones(1, max(ndims(k), td));
  shape(td) = numel(filt);
  x = ifft(fft(x, [], td) .* reshape(filt, shape), [], td);
  sub{td} = 1:T;
  y = x(sub{:});
end

rand('seed', 3); randn('seed', 3);
tol = 1e-6;   % the filters are single precision

% T = 20, bw = 0.1: notch 0.55 0.05 0 0.05 0.55 at bins 17..21 (0-based)
[~, f] = unfold(complex(randn(2, 2, 20), randn(2, 2, 20)));
want = ones(38, 1); want(18:22) = [0.55 0.05 0 0.05 0.55];
check_close(f, want, tol, 'high T=20');
[~, f] = unfold(complex(randn(2, 2, 20), 1), 'l', 0.1);
want = zeros(38, 1); want([37 38 1 2 3]) = [0.45 0.95 1 0.95 0.45];
check_close(f, want, tol, 'lowp T=20');

% T = 50, bw = 0.1: zeros at bins 46..52, then 0.05, 0.55 on each side
k50 = complex(randn(2, 3, 50), randn(2, 3, 50));
[~, f] = unfold(k50, 'h', 0.1);
want = ones(98, 1); want(47:53) = 0; want([46 54]) = 0.05; want([45 55]) = 0.55;
check_close(f, want, tol, 'high T=50 bw=0.1');

% T = 50, bw = 0.25: lowp 1 on bins 0-11 and 87-97, 0.625 and 0.125 at
% 12, 13 and 86, 85
[~, f] = unfold(k50, 'lowp', 0.25);
want = zeros(98, 1); want([1:12, 88:98]) = 1; want([13 87]) = 0.625; want([14 86]) = 0.125;
check_close(f, want, tol, 'lowp T=50 bw=0.25');
[~, fh] = unfold(k50, 'h', 0.25);
[~, fm] = unfold(k50, 'm', 0.25);
check_close(fh, 1 - circshift(f, 49), tol, 'high is the shifted complement of lowp');
check_close(fm, fh .* (1 - f), tol, 'midp notches both');
assert(abs(sum(1 - fh) - 24.5) < 1e-4, 'the notch removes x = NT*bw bins of weight');

% x below 2: n = 1 and d clipped to 0.5, notch 1 0.5 0 0.5 1 (T = 6: x = 1)
[~, f] = unfold(complex(randn(1, 2, 6), 1));
want = ones(10, 1); want(5:7) = [0.5 0 0.5];
check_close(f, want, tol, 'clipped notch');

% the series against the chain computed here, 3-, 4- and 5-D, every filter
shapes = {[8 6 20], [6 4 3 12], [4 5 2 9 3], [16 16 64]};
for s = 1:numel(shapes)
  sz = shapes{s};
  k = complex(randn(sz), randn(sz));
  for type = {'h', 'l', 'm'}
    for bw = [0.1 0.3]
      [kf, f] = unfold(k, type{1}, bw);
      what = sprintf('%s %s bw=%g', mat2str(sz), type{1}, bw);
      check_close(kf, reference(k, f), 1e-12, what);
      assert(isequal(size(kf), size(k)), what);
    end
  end
end

% the phantom as a dynamic series: a frame-alternating aliased copy is what
% the notch at the Nyquist bin removes
p = vtx_phantom(64, 64, 2);
T = 32;
series = repmat(reshape(p.k, 64, 64, 1, 1, 2), [1 1 1 T 1]);
alias = circshift(p.k, [0 32 0]);
for t = 2:2:T
  series(:, :, 1, t, :) = series(:, :, 1, t, :) + 0.5 * reshape(alias, 64, 64, 1, 1, 2);
  series(:, :, 1, t - 1, :) = series(:, :, 1, t - 1, :) - 0.5 * reshape(alias, 64, 64, 1, 1, 2);
end
[kf, f] = unfold(series, 'h', 0.1);
check_close(kf, reference(series, f), 1e-12, 'phantom series');
mid = kf(:, :, 1, 8:24, :);
clean = repmat(reshape(p.k, 64, 64, 1, 1, 2), [1 1 1 17 1]);
assert(norm(mid(:) - clean(:)) / norm(clean(:)) < 0.05, 'the alternating alias is removed');

% type: only the first character counts
k = complex(randn(3, 3, 10), randn(3, 3, 10));
[a, fa] = unfold(k, 'lowpass');
[b, fb] = unfold(k, 'lo');
[c, fc] = unfold(k, 'x');
[d, fd] = unfold(k);
assert(isequal(a, b) && isequal(fa, fb) && isequal(c, d) && isequal(fc, fd));

% band widths out of range: a notice and the default
notice = 'bandwidth input out-of-range. Using default value, 0.100000, instead';
for bw = {1, 0, -0.2, NaN, []}
  out = evalc('[e, fe] = unfold(k, ''h'', bw{1});');
  assert(~isempty(strfind(out, notice)));
  assert(isequal(e, d) && isequal(fe, fd));
end

% constant courses: 'high' keeps them, 'midp' removes them
kc = complex(2 * ones(3, 2, 12), -ones(3, 2, 12));
check_close(unfold(kc, 'h'), kc, 1e-14, 'constant through high');
assert(max(abs(reshape(unfold(kc, 'm'), [], 1))) < 1e-14);

% NaN stays in its own course, all-zero data stay zero
kn = k; kn(2, 2, 5) = NaN;
y = unfold(kn);
assert(all(isnan(reshape(y(2, 2, :), [], 1))) && ~any(isnan(reshape(y(1, :, :), [], 1))));
assert(isequal(unfold(complex(zeros(2, 2, 8))), complex(zeros(2, 2, 8))));

% messages, and no output after a refused input
first = '1st input: Need to declare a complex  array for the input k-space data';
refused = {randn(2, 2, 6), single(complex(ones(2, 2, 6))), int16([1 2]), 'abc', struct('a', 1), ...
           {1, 2}, complex(ones(4, 6)), complex(ones(2, 2, 1, 6, 1, 2)), ...
           complex(ones(2, 2, 3, 1, 2)), complex(zeros(2, 2, 0)), []};
for i = 1:numel(refused)
  out = evalc('unfold(refused{i})');
  assert(~isempty(strfind(out, first)), 'message for refused input %d', i);
  failed = false;
  try
    evalc('y = unfold(refused{i});');
  catch
    failed = true;
  end
  assert(failed, 'refused input %d returned an output', i);
end
out = evalc('unfold()');
assert(~isempty(strfind(out, 'At least 1 input argument is required.')));
out = evalc('unfold(k, 3)');
assert(~isempty(strfind(out, '2nd input: Need to declare a char string')));
out = evalc('unfold(k, ''h'', 0.1i)');
assert(~isempty(strfind(out, '3rd input: Need to declare a real scalar')));
out = evalc('unfold(complex(ones(2, 2, 3)))');
assert(~isempty(strfind(out, 'The filter band needs 5 temporal-frequency bins')));
printf('test_unfold: all cases passed\n');
