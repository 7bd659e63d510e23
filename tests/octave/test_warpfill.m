% warpfill against direct placement written with Octave indexing, on small
% cases and on phantom k-space spread over planes; its printed list; hostile
% inputs that must only be refused.
1;
function out = direct(Y, k, sz)
  out = complex(zeros(sz));
  ks = complex(double(single(real(k))), double(single(imag(k))));
  c = fix(double(single(Y) - 1));
  for s = 1:rows(Y)
    if all(c(s, :) >= 0) && c(s, 1) < sz(2) && c(s, 2) < sz(3)
      out(:, c(s, 1) + 1, c(s, 2) + 1) = ks(:, s);
    end
  end
end

function y = run(varargin)
  evalc('y = warpfill(varargin{:});');
end

rand('state', 5); randn('state', 5);

% the three-line example: (line 1, plane 1) stays zero (0-based)
k = complex(randn(4, 3), randn(4, 3));
y = run([1 1; 2 1; 1 2], k, [4 2 2]);
assert(isequal(size(y), [4 2 2]));
assert(isequal(y(:, 1, 1), double(single(k(:, 1)))) && isequal(y(:, 2, 1), double(single(k(:, 2)))));
assert(isequal(y(:, 1, 2), double(single(k(:, 3)))) && all(y(:, 2, 2) == 0));

% truncation after the shift, duplicates (later wins), coordinates outside
Y = [3.5 1.9; 1 2; 0 1; 1 0; 9 1; 1 9; 1 2];
k = complex(randn(4, 7), randn(4, 7));
y = run(Y, k, [4 3 2]);
assert(isequal(y, direct(Y, k, [4 3 2])));
assert(isequal(y(:, 3, 1), double(single(k(:, 1)))) && isequal(y(:, 1, 2), double(single(k(:, 7)))));

% random lists on random grids
for t = 1:30
  ny = randi([1 12]); nz = randi([1 6]); n = randi([1 30]);
  Y = [randi([0 ny + 1], n, 1), randi([0 nz + 1], n, 1)] + 0.9 * rand(n, 2);
  kk = complex(randn(3, n), randn(3, n));
  assert(isequal(run(Y, kk, [3 ny nz]), direct(Y, kk, [3 ny nz])), 'random list %d', t);
end

% phantom k-space: coil c of a 64 x 64 x 4 set becomes plane c, every line
p = vtx_phantom(64, 64, 4);
[ly, lz] = ndgrid(1:64, 1:4);
kacq = reshape(p.k, 64, []);
y = run([ly(:) lz(:)], kacq, [64 64 4]);
assert(isequal(y, complex(double(single(real(p.k))), double(single(imag(p.k))))));

% the printed list: 0-based pairs
out = evalc('warpfill([1 2], complex(ones(2, 1)), [2 2 2]);');
assert(strcmp(out, sprintf('input Y lines:\n (  0.00,  1.00)\n\n')));

% hostile inputs: a message, never a crash
out = evalc('try, warpfill(); catch, end');
assert(~isempty(strfind(out, 'At least 3 input arguments are required.')));
good = {[1 1; 2 2], complex(ones(4, 2)), [4 2 2]};
hostile = {int32([1 2]), true(2, 2), struct('a', 1), {1, 2}, sparse([1 1; 2 2]), 'ab', [], ...
           NaN, Inf, -1, [NaN Inf; 1 1], single([1 1; 2 2]), complex([1 1; 2 2], 1), ...
           zeros(2, 2, 2), [4 1e300 1], [4 2 -2], [4 2 1e10], [1e10 2 2]};
for pos = 1:3
  for h = 1:numel(hostile)
    args = good;
    args{pos} = hostile{h};
    out = evalc('try, y = warpfill(args{:}); catch, end');
    if ~isempty(strfind(out, 'error with'))
      continue;
    end
    assert(pos == 1 && isequal(size(y), [4 2 2]), 'input %d, hostile %d', pos, h);
  end
end
failed = false;
out = evalc('try, y = warpfill([1 1], complex(ones(4, 2)), [4 2 2]); catch, failed = true; end');
assert(failed && ~isempty(strfind(out, 'error with 2nd input')));
printf('test_warpfill: all cases passed\n');
