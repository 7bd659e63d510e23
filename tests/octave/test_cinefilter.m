% cinefilter against Octave's filter(b, a / a(1), x) along the frames, the
% documented recursions, frame counting for 4- and 5-D input, hostile inputs.
1;
function y = reference(k, b, a)
  s = size(k);
  x = reshape(k, s(1) * s(2), []);   % one row per pixel, frames along rows
  y = reshape(filter(b, a / a(1), x, [], 2), s);
end

rand('seed', 5); randn('seed', 5);
cases = {{1, 1}, {[0.5 0.5], 1}, {0.1, [1 -0.9]}, {1, 2}, {[1 1 1], 1}, ...
         {[0.2 0.3 -0.1], [2 -0.5 0.1 0.05]}, {[0.3; 0.2], [1; -0.4; 0.2]}, ...
         {randn(1, 7), [1, 0.3 * randn(1, 4)]}, {[1 0 0 0], [1 0.5]}};
k = complex(randn(8, 6, 40), randn(8, 6, 40));
for c = 1:numel(cases)
  b = cases{c}{1}; a = cases{c}{2};
  check_close(cinefilter(k, b, a), reference(k, b, a), 1e-13, sprintf('case %d', c));
end

% the documented series
x = complex(ones(2, 2, 30));
y = cinefilter(x, 0.1, [1 -0.9]);
check_close(squeeze(y(1, 1, :)), 1 - 0.9 .^ (1:30)', 1e-13, 'low-pass rises towards 1');
y = cinefilter(k, [0.5 0.5], 1);
check_close(y(:, :, 2:end), 0.5 * (k(:, :, 2:end) + k(:, :, 1:end-1)), 1e-15, 'two-tap mean');
assert(isequal(y(:, :, 1), 0.5 * k(:, :, 1)), 'first frame sees no earlier frames');
assert(isequal(cinefilter(k, 1, 2), k), 'b is not divided by a(1)');
check_close(cinefilter(k, [0.2 0.1], [2 -0.5]), 2 * filter([0.2 0.1], [2 -0.5], k, [], 3), 1e-13, ...
            'a(1) times the fully normalised filter');

% a real matrix of coefficients: its first max(size) values in storage order
check_close(cinefilter(k, [0.5 0.1; 0.2 0.3], 1), reference(k, [0.5 0.2], 1), 1e-15, 'matrix b');

% random complex series of several shapes; 4- and 5-D count every
% dimension after the second as frames and keep their shape
shapes = {[16 16 50], [5 7 3 4], [4 3 2 3 2], [6 5], [1 1 64]};
for s = 1:numel(shapes)
  sz = shapes{s};
  kk = complex(randn(sz), randn(sz));
  b = randn(1, 3); a = [1, 0.2 * randn(1, 2)];
  y = cinefilter(kk, b, a);
  assert(isequal(size(y), size(kk)));
  check_close(y, reference(kk, b, a), 1e-13, sprintf('shape %s', mat2str(sz)));
end

% the phantom's coil images as a slowly varying series with noise
p = vtx_phantom(64, 64, 2);
T = 24;
series = repmat(p.coil(:, :, 1), [1 1 T]) .* reshape(1 + 0.1 * sin((1:T) / 4), 1, 1, T);
series = series + 0.02 * complex(randn(size(series)), randn(size(series)));
check_close(cinefilter(series, 0.2, [1 -0.8]), reference(series, 0.2, [1 -0.8]), 1e-13, 'phantom');

% NaN travels along its own course only; all-zero data stay zero; one frame
kn = k; kn(3, 3, 5) = NaN;
y = cinefilter(kn, [1 1], [1 -0.5]);
assert(all(isnan(reshape(y(3, 3, 5:end), [], 1))) && ~any(isnan(reshape(y(3, 3, 1:4), [], 1))));
assert(sum(isnan(y(:))) == numel(y(3, 3, 5:end)));
assert(isequal(cinefilter(complex(zeros(3, 3, 4)), [1 2], [1 0.5]), complex(zeros(3, 3, 4))));
assert(isequal(cinefilter(k(:, :, 1), [0.7 9], [3 1]), 0.7 * k(:, :, 1)), 'one frame');
assert(isempty(cinefilter(complex(zeros(3, 0, 4)), 1, 1)));

% messages, and no output after a refused input
first = '1st input: Need to declare a complex  array for the input k-space data';
second = '2nd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values';
third = '3rd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values';
refused = {{randn(2, 2, 3), 1, 1, first}, {single(k), 1, 1, first}, {int8([1 2]), 1, 1, first}, ...
           {'abc', 1, 1, first}, {struct('a', 1), 1, 1, first}, {complex(ones(1, 1, 1, 1, 1, 2)), 1, 1, first}, ...
           {k, 1i, 1, second}, {k, ones(1, 1, 2), 1, second}, {k, 'b', 1, second}, {k, [], 1, second}, ...
           {k, single(1), 1, second}, {k, 1, [0 1], third}, {k, 1, [], third}, {k, 1, {1}, third}, ...
           {k, 1, [1 1i], third}, {k, 1, zeros(1, 2, 2), third}};
for i = 1:numel(refused)
  c = refused{i};
  out = evalc('cinefilter(c{1}, c{2}, c{3})');
  assert(~isempty(strfind(out, c{4})), 'message for refused case %d', i);
  failed = false;
  try
    evalc('y = cinefilter(c{1}, c{2}, c{3});');
  catch
    failed = true;
  end
  assert(failed, 'refused case %d returned an output', i);
end
out = evalc('cinefilter(k, 1)');
assert(~isempty(strfind(out, 'At least 3 input arguments are required.')));
failed = false;
try
  evalc('[y1, y2] = cinefilter(k, 1, 1);');
catch
  failed = true;
end
assert(failed, 'two outputs are refused');
out = evalc('try, [y1, y2] = cinefilter(k, 1, 1); catch, end');
assert(~isempty(strfind(out, 'Too many output arguments.')));
printf('test_cinefilter: all cases passed\n');
