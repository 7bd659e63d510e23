% lineplace against direct placement and density weights written in Octave,
% on small cases and on variable-density phantom k-space; its printed list;
% hostile inputs that must only be refused.
1;
function w = density(lines0, n)
  % One grid row: 1/trunc of the half-widths of the gaps to the occupied
  % neighbours (passing an end examines the wrapped cell only), then the
  % outermost cells take their inner neighbour's weight.
  occ = false(1, n);
  occ(lines0(lines0 >= 0 & lines0 < n) + 1) = true;
  w = zeros(1, n);
  for i = find(occ)
    g = [0 0];
    for d = [1 -1]
      k = i;
      while true
        k += d;
        wrapped = k < 1 || k > n;
        if wrapped, k = mod(k - 1, n) + 1; end
        if ~occ(k), g((3 - d) / 2) += 1; end
        if wrapped || occ(k), break; end
      end
    end
    w(i) = 1 / fix((sum(g) + 2) * 0.5);
  end
  on = find(w > 0);
  if numel(on) >= 2
    w(on(1)) = w(on(2));
    w(on(end)) = w(on(end - 1));
  end
end

function out = direct(Y, k, n)
  % Placement in list order (later wins) and division by the weights.
  [nx, nacq, z] = size(k);
  lines0 = fix(double(single(Y) - 1));
  w = double(single(density(lines0, n)));
  out = complex(zeros(nx, n, z));
  ks = complex(double(single(real(k))), double(single(imag(k))));
  for s = 1:nacq
    l = lines0(s);
    if l >= 0 && l < n, out(:, l + 1, :) = ks(:, s, :); end
  end
  for l = find(w > 0)
    out(:, l, :) /= w(l);
  end
end

function y = run(varargin)
  evalc('y = lineplace(varargin{:});');
end

rand('state', 3); randn('state', 3);
k = complex(randn(6, 8, 2), randn(6, 8, 2));

% fully sampled: the data through single precision, every weight 1
y = run((1:8)', k, [6 8 2]);
assert(isequal(y, complex(double(single(real(k))), double(single(imag(k))))));
assert(~isequal(y, k));

% every other line: doubled, gaps zero
y = run([1 3 5 7]', k(:, 1:4, :), [6 8 2]);
assert(isequal(y(:, 1:2:end, :), 2 * double(single(k(:, 1:4, :)))));
assert(all(y(:, 2:2:end, :)(:) == 0));

% 3.7 lands on line 3 (1-based), 0 and 9 nowhere; duplicates keep the later
Y = [3.7 1 0 9 5 5 6]';
y = run(Y, k(:, 1:7, 1), [6 8 1]);
assert(isequal(y, direct(Y, k(:, 1:7, 1), 8)));
assert(isequal(y(:, 5), double(single(k(:, 6, 1)))));
assert(isequal(y(:, 3), 2 * double(single(k(:, 1, 1)))));

% a list of random lines of random grids, including wide gaps and wraps
for t = 1:40
  n = randi([1 40]);
  nacq = randi([1 n]);
  Y = randi([1 n], nacq, 1) + 0.9 * rand(nacq, 1);
  kk = complex(randn(3, nacq, 2), randn(3, nacq, 2));
  check_close(run(Y, kk, [3 n 2]), direct(Y, kk, n), 1e-15, sprintf('random list %d', t));
end

% variable-density phantom k-space: dense centre, every 2nd then 4th line out
p = vtx_phantom(64, 128, 4);
Y = unique([1:4:33, 33:2:49, 50:79, 81:2:97, 97:4:128])';
kacq = p.k(:, Y, :);
y = run(Y, kacq, [64 128 4]);
check_close(y, direct(Y, kacq, 128), 1e-15, 'phantom');
% the printed list: 0-based values
out = evalc('lineplace([1; 5], k(:, 1:2, 1), [6 8 1]);');
assert(strcmp(out, sprintf('input Y lines:\n   0.00   4.00\n\n')));

% hostile inputs: a message, never a crash
out = evalc('try, lineplace(); catch, end');
assert(~isempty(strfind(out, 'At least 3 input arguments are required.')));
good = {[1; 2], k(:, 1:2, 1), [6 8 1]};
hostile = {int32([1 2]), true(2, 1), struct('a', 1), {1, 2}, sparse([1; 2]), 'ab', [], ...
           NaN, Inf, -1, [NaN; Inf], single([1; 2]), complex([1; 2], 1), zeros(2, 2, 2, 2), ...
           [6 1e300 1], [6 -8 1], [6 8 1e10], [1e10 8 1]};
for pos = 1:3
  for h = 1:numel(hostile)
    args = good;
    args{pos} = hostile{h};
    out = evalc('try, y = lineplace(args{:}); catch, end');
    if ~isempty(strfind(out, 'error with'))
      continue;
    end
    % accepted: must be a hostile line list, which only fills nothing
    assert(pos == 1 && isequal(size(y), [6 8]), 'input %d, hostile %d', pos, h);
  end
end
% NaN and Inf data travel through
kn = k(:, 1:2, 1); kn(1) = NaN; kn(2) = Inf;
y = run([1; 2], kn, [6 2 1]);
assert(isnan(y(1)) && isinf(y(2)));
failed = false;
out = evalc('try, y = lineplace(int32([1 2]), k(:, 1:2, 1), [6 8 1]); catch, failed = true; end');
assert(failed && ~isempty(strfind(out, 'error with 1st input')));
printf('test_lineplace: all cases passed\n');
