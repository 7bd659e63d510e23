% xform2 against Octave's fft2/ifft2, slice by slice, and its messages.
1;
function y = slices(f, x)
  y = zeros(size(x));
  for s = 1:size(x, 3)
    y(:, :, s) = f(x(:, :, s));
  end
end

rand('seed', 7); randn('seed', 7);
shapes = {[1 1], [4 4], [8 2], [6 10], [5 4], [256 192 3], [128 256 2], [16 16], [7 9 2]};
for k = 1:numel(shapes)
  sz = shapes{k};
  x = complex(randn(sz), randn(sz));
  what = sprintf('%dx', sz);
  check_close(xform2(x), slices(@fft2, x), 1e-12, ['forward ' what]);
  check_close(xform2(x, 'f'), slices(@fft2, x), 1e-12, ['f ' what]);
  check_close(xform2(x, 'b'), slices(@ifft2, x), 1e-12, ['backward ' what]);
  check_close(xform2(xform2(x, 'f'), 'b'), x, 1e-12, ['round trip ' what]);
end

% the phantom: centred k-space back to the coil images
p = vtx_phantom(128, 96, 4);
check_close(xform2(fftshift(fftshift(p.k, 1), 2), 'b'), p.coil, 1e-12, 'phantom');

% a real input is transformed with zero imaginary parts
xr = randn(6, 10);
y = xform2(xr);
assert(iscomplex(y));
check_close(y, fft2(xr), 1e-12, 'real input');

% 'b' followed by anything selects the backward transform
x = complex(randn(8, 8), randn(8, 8));
check_close(xform2(x, 'backward'), ifft2(x), 1e-12, 'backward text');

% an unknown direction leaves the data as they are
assert(isequal(xform2(x, 'B'), x));

% NaN and Inf travel through without harm
xn = x; xn(3, 3) = NaN; xn(1, 2) = Inf;
y = xform2(xn);
assert(isequal(size(y), size(xn)) && any(isnan(y(:))));

% messages, and no output after a refused input
first = 'error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.';
second = 'error with 2nd input: Need to declare string, ''f'' or ''b''';
hostile = {int32([1 2; 3 4]), true(2), 'abc', struct('a', 1), {1, 2}, sparse([1 0; 0 1]), single([1 2])};
for k = 1:numel(hostile)
  out = evalc('xform2(hostile{k})');
  assert(~isempty(strfind(out, first)), 'message for hostile input %d', k);
  failed = false;
  try
    y = xform2(hostile{k});
  catch
    failed = true;   % the host reports the unassigned output
  end
  assert(failed, 'hostile input %d returned an output', k);
end
out = evalc('xform2()');
assert(~isempty(strfind(out, first)));
out = evalc('xform2(x, 3)');
assert(~isempty(strfind(out, second)));

% empty arrays and arrays with a zero dimension
assert(isempty(xform2(zeros(0, 4))));
assert(isequal(size(xform2(zeros(3, 0, 2))), [3 0 2]));

% extra inputs are ignored
check_close(xform2(x, 'f', 1, 2), fft2(x), 1e-12, 'extra inputs');
printf('test_xform2: all cases passed\n');
