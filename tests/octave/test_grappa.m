% grappa on the phantom: acquired lines kept, the RSS image against the fully
% sampled one and against Octave's ifft2, kernels fed back, GROG structs,
% grid enlargement, and hostile inputs that must only be refused.
1;
function lines = undersampled(N, R)
  c = N / 2 + 1;
  lines = union(1:R:N, c - 12:c + 11)(:);   % every R-th line and 24 centre lines
end

function img = rss_of(k)
  img = sqrt(sum(abs(ifft2(ifftshift(ifftshift(k, 1), 2))).^2, 3));
end

M = 128; N = 128; L = 8;
p = vtx_phantom(M, N, L);
% NRMSE of output 2 against p.rss measured at 0.0023 (R = 2) and 0.023 (R = 3).
bounds = [0.005 0.04];
for R = [2 3]
  lines = undersampled(N, R);
  [k, img, par] = grappa([M N L], p.k(:, lines, :), lines);
  what = sprintf('R = %d', R);
  assert(isequal(size(k), [M N L]) && isequal(size(img), [M N]), '%s: sizes', what);
  assert(isequal(k(:, lines, :), p.k(:, lines, :)), '%s: acquired lines changed', what);
  % with R = 3 line N lies in a gap of 2 across the wrap (127 -> 1), a dk the
  % line list does not show, so no pattern fills it
  missing = setdiff(1:N, lines);
  filled = any(any(k(:, missing, :) ~= 0, 1), 3);
  empty_lines = missing(~filled);
  assert(isequal(empty_lines, N * ones(1, R == 3)), '%s: missing lines left empty', what);
  assert(all(imag(img(:)) == 0));
  check_close(img, rss_of(k), 1e-12, [what ': RSS of output 1']);
  e = norm(img(:) - p.rss(:)) / norm(p.rss(:));
  assert(e < bounds(R - 1), '%s: NRMSE %g against the full RSS is not below %g', what, e, bounds(R - 1));
  printf('test_grappa: %s NRMSE %.4f\n', what, e);

  % output 3 fed back as the 6th input reproduces outputs 1 and 2 exactly
  [k2, img2, par2] = grappa([M N L], p.k(:, lines, :), lines, '2x5', [], par);
  assert(isequal(k2, k) && isequal(img2, img), '%s: kernels fed back differ', what);
  assert(isequal(par2, par), '%s: kernels fed back are not returned as given', what);
  assert(isequal(fieldnames(par), {'dk'; 'pattern'; 'coef'}));
  assert(isequal(size(par(1).coef), [2 * 5 * L, L]));
end
assert(isequal({par.pattern}, {'*xo*', '*ox*'}) && isequal([par.dk], [3 3]));

% GROG: two "normal" operators per dk, and with setting 2 two "parallel" more
lines = undersampled(N, 2);
for grog = [1 2]
  [k, img, par] = grappa([M N L], p.k(:, lines, :), lines, '1x5', [], [], 1, grog);
  want = {'x*o', 'o*x', 'x*o', 'o*x'}(1:2 * grog);
  dirs = {'normal', 'normal', 'parallel', 'parallel'}(1:2 * grog);
  assert(isequal(size(par), [2 * grog, 1]), 'grog %d: struct size', grog);
  assert(isequal(fieldnames(par), {'dk'; 'pattern'; 'coef'; 'dir'}));
  assert(isequal({par.pattern}, want) && isequal({par.dir}, dirs), 'grog %d: patterns', grog);
  assert(all(cellfun(@(c) isequal(size(c), [5 * L, 5 * L]), {par.coef})), 'grog %d: coef', grog);
  % synthesis applies only the first L operator columns (readout shift -2),
  % so only the acquired lines and the filling are checked here
  assert(isequal(k(:, lines, :), p.k(:, lines, :)));
  assert(all(any(any(k ~= 0, 1), 3)), 'grog %d: a line stayed empty', grog);
end

% odd lines 1..127 and 49..80 of a 256 x 128 grid: dk 2, one "*x*", all filled
q = vtx_phantom(256, 128, L);
lines = union(1:2:127, 49:80)(:);
assert(numel(lines) == 80);
[k, img, par] = grappa([256 128 L], q.k(:, lines, :), lines);
assert(isequal(k(:, lines, :), q.k(:, lines, :)));
assert(all(any(any(k ~= 0, 1), 3)), 'a line stayed empty (line 128 wraps to line 1)');
assert(numel(par) == 1 && par.dk == 2 && strcmp(par.pattern, '*x*'));

% a line beyond sz(2) enlarges the grid to the largest line
lines = union(undersampled(N, 2), N)(:);
[k, img] = grappa([M 100 L], p.k(:, lines, :), lines);
assert(isequal(size(k), [M N L]) && isequal(size(img), [M N]));

% hostile inputs: refused with a message, never a crash
first = '1st input: Need to declare a real 1-by-3 array for the output data size';
out = evalc('grappa()');
assert(~isempty(strfind(out, 'At least 3 input arguments are required.')));
s = vtx_phantom(32, 32, 2);
lines = undersampled(32, 2);
good = {[32 32 2], s.k(:, lines, :), lines, '2x5', 2, [], 1, 0};
hostile = {int32([1 2 3]), true(1, 3), struct('a', 1), {1, 2}, sparse([1 0 1]), 'abc', [], ...
           NaN, 0, -1, [NaN; 1], [0; 1], single(1), complex(1, 1), zeros(2, 2, 2)};
for pos = 1:numel(good)
  for h = 1:numel(hostile)
    args = good;
    args{pos} = hostile{h};
    out = evalc('try, grappa(args{:}); catch, end');
    if pos <= 3 || ~isempty(out)
      assert(~isempty(strfind(out, 'input: ')), 'input %d, hostile %d: no message', pos, h);
    end
  end
end
for bad = {[32 NaN 2], [32 32 -2], [1e6 1e6 1e6]}
  out = evalc('try, grappa(bad{1}, s.k(:, lines, :), lines); catch, end');
  assert(~isempty(strfind(out, first)));
end
for ks = {'0x5', '-1x3', '2x0', '99999999999x5', '2x99999'}
  out = evalc('try, grappa(good{1:3}, ks{1}); catch, end');
  assert(~isempty(strfind(out, '4th input: ')), 'kernel size %s', ks{1});
end
for rl = {[NaN; 1], [0; 1], [1.5; NaN]}
  out = evalc('try, grappa(good{1:2}, rl{1}); catch, end');
  assert(~isempty(strfind(out, '3rd input: ')));
end
% a line number whose N would not fit is refused, wherever it stands
third = '3rd input: Need to declare a real M-by-1 array for the output data size';
for bad = {[2^31; 2], [2; 2^31]}
  out = evalc('try, grappa([8 2 1], complex(ones(8, 2), 1), bad{1}); catch, end');
  assert(~isempty(strfind(out, third)));
end

% offsets wrap around the grid: kernels larger than it and gaps that name
% no pattern or lie beyond the grid are served
[k, img] = grappa([4 8 2], complex(randn(4, 4, 2), 1), (1:2:8)');
assert(isequal(size(k), [4 8 2]) && isequal(size(img), [4 8]));
for ks = {'40x5', '2x100'}
  [k, img, par] = grappa(good{1:3}, ks{1});
  assert(isequal(k(:, lines, :), s.k(:, lines, :)));
end
[k, img, par] = grappa(good{1:4}, [0; -1; 1]);
assert(isempty(par) && isequal(k(:, lines, :), s.k(:, lines, :)));
[k, img, par] = grappa(good{1:4}, 40);
assert(numel(par) == 39 && all(isfinite(k(:))));

% N below 1 leaves the grid size to the lines; M or L of 0 gives empty outputs
[k, img] = grappa([32 0 2], s.k(:, lines, :), lines);
assert(isequal(size(k), [32 max(lines) 2]));
[k, img, par] = grappa([0 32 2], complex(zeros(0, numel(lines), 2)), lines);
assert(isequal(size(k), [0 32 2]) && isequal(size(img), [0 32]) && isempty(par));
[k, img] = grappa([32 32 0], complex(zeros(32, numel(lines), 0)), lines);
assert(isequal(size(k), [32 32 0]) && isequal(size(img), [32 32]) && all(img(:) == 0));

% its own kernels come back even when their patterns exceed 19 characters
% (ky 3 with dk 10 gives 21): they are read whole and cut
L2 = unique([1:2:32 14:19])';
d = complex(randn(16, numel(L2), 2), 1);
[k, i, par] = grappa([16 32 2], d, L2, '3x3', 10);
assert(numel(par(1).pattern) == 21);
out = evalc('[q, qi, qp] = grappa([16 32 2], d, L2, ''3x3'', [], par);');
assert(isempty(out) && numel(qp(1).pattern) == 19 && isequal(size(q), [16 32 2]));

% a refused call assigns no output, which the host reports
failed = false;
out = evalc('try, k = grappa(int32([1 2 3]), s.k(:, lines, :), lines); catch, failed = true; end');
assert(failed && ~isempty(strfind(out, first)));
printf('test_grappa: all cases passed\n');
