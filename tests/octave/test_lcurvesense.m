% lcurvesense on the phantom: against an LSQR written with Octave's fft2
% and ifft2 for the same lambdas, the closed form of one iteration, the
% default lambda list, a variable-density reconstruction against the
% object, and hostile inputs.
1;
function [k, Y] = sampled(p, lines)
  % The acquired lines (0-based, uncentred order) of every coil as
  % E x: the 2D transform scaled by 1/sqrt(M*N), at the listed positions.
  [M, N, L] = size(p.maps);
  [x, y] = ndgrid(0:M-1, lines);
  Y = [x(:) y(:)];
  idx = Y(:, 1) + 1 + M * Y(:, 2);
  k = zeros(rows(Y), L);
  for c = 1:L
    t = fft2(p.coil(:, :, c)) / sqrt(M * N);
    k(:, c) = t(idx);
  end
end

function u = forward(W, x, idx)
  [M, N, L] = size(W);
  u = zeros(numel(idx), L);
  for c = 1:L
    t = fft2(W(:, :, c) .* reshape(x, M, N)) / sqrt(M * N);
    u(:, c) = t(idx);
  end
  u = u(:);
end

function x = adjoint(W, u, idx)
  [M, N, L] = size(W);
  u = reshape(u, [], L);
  x = zeros(M, N);
  for c = 1:L
    t = zeros(M, N);
    t(idx) = u(:, c);
    x = x + conj(W(:, :, c)) .* ifft2(t) * sqrt(M * N);
  end
  x = x(:);
end

function varargout = quiet(varargin)
  varargout = cell(1, max(nargout, 1));
  evalc('[varargout{:}] = lcurvesense(varargin{:});');
end

function refused(msg, varargin)
  out = evalc('lcurvesense(varargin{:});');
  assert(~isempty(strfind(out, msg)), 'expected "%s", got "%s"', msg, out);
  failed = false;
  try
    evalc('X = lcurvesense(varargin{:});');
  catch
    failed = true;   % the host reports the unassigned output
  end
  assert(failed, 'a refused call returned an output: %s', msg);
end

M = 64; N = 48; L = 8;
p = vtx_phantom(M, N, L);

% variable density: the 12 central frequencies, every 2nd up to 24, every
% 4th beyond (uncentred order: frequency f sits at line mod(f, N))
f = -N/2 : N/2 - 1;
keep = abs(f) < 6 | (abs(f) < 12 & mod(f, 2) == 0) | mod(f, 4) == 0;
lines = sort(mod(f(keep), N));
[k, Y] = sampled(p, lines);
printf('test_lcurvesense: %d of %d lines\n', numel(lines), N);

% the same lambdas and iterations as the LSQR written here
lambda = [0 1e-3 1e-2 0.03 0.1 0.3 1];
[X, xn, rn] = quiet(p.maps, k, Y, lambda, 25);
[Xp, xp, rp] = lsqr_reference(p.maps, k, Y, lambda, 25);
assert(isequal(size(X), [M N 7]) && isequal(size(xn), [7 1]) && isequal(size(rn), [7 1]));
check_close(X, Xp, 1e-9, 'solutions against the Octave LSQR');
check_close(xn, xp, 1e-9, 'solution norms');
check_close(rn(2:end), rp(2:end), 1e-6, 'residual norms');   % lambda = 0: a difference of equals
assert(all(diff(xn) < 0) && all(diff(rn(2:end)) > 0), 'the L-curve is not monotone');

% the object from variable-density samples (the maps' weak regions make
% convergence slow: 150 iterations)
lam3 = [0 1e-3 1e-2];
Xv = quiet(p.maps, k, Y, lam3, 150);
err = arrayfun(@(j) norm(Xv(:, :, j) - p.img, 'fro') / norm(p.img, 'fro'), 1:3);
printf('test_lcurvesense: error against the object for lambda %s: %s\n', mat2str(lam3), ...
       sprintf(' %.4f', err));
assert(err(1) < 0.005 && err(2) < 0.005 && err(3) < 0.06, 'reconstruction far from the object');

% I = 1: x = (phi / rho) v1 with the first step's scalars
idx = Y(:, 1) + 1 + M * Y(:, 2);
b = k(:); beta1 = norm(b); u1 = b / beta1;
v1 = adjoint(p.maps, u1, idx); alpha1 = norm(v1); v1 = v1 / alpha1;
beta2 = norm(forward(p.maps, v1, idx) - alpha1 * u1);
rho = sqrt(double(single(lambda).^2) + alpha1^2 + beta2^2);
X1 = quiet(p.maps, k, Y, lambda, 1);
want = reshape(v1 * (alpha1 * beta1 ./ rho.^2), M, N, 7);
check_close(X1, want, 1e-10, 'one iteration');

% the console: an empty line and, without lambda, the 20 defaults; X has 20
% planes
out = evalc('X20 = lcurvesense(p.maps, k, Y);');
lines20 = strsplit(out, "\n");
assert(strcmp(lines20{1}, '') && numel(lines20) == 22, 'expected an empty line and 20 more');
for i = 0:19
  e = i * 0.15789473684210525 + 4;
  assert(strcmp(lines20{i + 2}, sprintf(' %d pow(10,%f) = %e ', i, e, double(single(10^e)))), ...
         'default line %d: %s', i, lines20{i + 2});
end
assert(isequal(size(X20), [M N 20]));
out = evalc('lcurvesense(p.maps, k, Y, 0.1, 2);');
assert(strcmp(out, sprintf('\n')), out);

% hostile inputs: messages, no output, no crash
first = 'error with 1st input: Need to declare a complex M-by-N-by-L array for the coil sensitivity data.';
second = 'error with 2nd input: Need to declare a complex M-by-N-L array for the input data.';
third = 'error with 3rd input: Need to declare a real P-by-2 array for the phase encode locations';
fourth = 'error with 4th input: Need to declare a real 1-by-p array for the input lambda values.';
W = p.maps(1:8, 1:6, 1:2); Ys = [0 0; 3 2; 7 5]; ks = complex(ones(3, 2), 1);
refused('At least 3 input arguments are required.', W, ks);
refused(first, real(W), ks, Ys);
refused(first, W(:, :, 1), ks, Ys);
refused(first, single(W), ks, Ys);
refused(first, [], ks, Ys);
refused(third, W, ks, Ys + 0.5i);
refused(third, W, ks, Ys');
refused(third, W, ks, 'Y');
refused(third, W, ks, int32(Ys));
refused('error with 3rd input: Need to declare at least one phase encode location', W, ks, zeros(0, 2));
refused(second, W, real(ks), Ys);
refused(second, W, ks(1:2, :), Ys);
refused(second, W, [ks ks], Ys);
refused(second, W, single(ks), Ys);
refused(fourth, W, ks, Ys, [1; 2]);
refused(fourth, W, ks, Ys, [1 2] * 1i);
refused(fourth, W, ks, Ys, 'l');
refused('error with 4th input: Need to declare at least one lambda value.', W, ks, Ys, zeros(1, 0));
refused('error with 5th input: Need to declare from 1 to 100000 iterations.', W, ks, Ys, 1, 0);
refused('error with 5th input: Need to declare from 1 to 100000 iterations.', W, ks, Ys, 1, NaN);
refused('error with 5th input: Need to declare from 1 to 100000 iterations.', W, ks, Ys, 1, 'x');
refused('error with 5th input: Need to declare from 1 to 100000 iterations.', W, ks, Ys, 1, 2^31);
% positions outside the grid end the call (the message goes to stderr)
for bad = {[8 0], [0 6], [-1 0], [NaN 0], [1e12 0]}
  failed = false;
  try
    evalc('X = lcurvesense(W, ks, [Ys(1:2, :); bad{1}]);');
  catch
    failed = true;
  end
  assert(failed, 'position %s was accepted', mat2str(bad{1}));
end
% extreme values travel through without harm
X = quiet(W, complex(zeros(3, 2)), Ys, [0 1]);
assert(isequal(size(X), [8 6 2]) && all(X(:) == 0), 'zero data');
odd = ks; odd(2, 1) = NaN;
X = quiet(W, odd, Ys, [0 1], 3);
assert(isequal(size(X), [8 6 2]));
X = quiet(W, [ks; 2 * ks], [Ys; Ys], [0 1]);   % every position twice
assert(isequal(size(X), [8 6 2]));
printf('test_lcurvesense: all cases passed\n');
