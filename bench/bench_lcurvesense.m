function bench_lcurvesense()
% lcurvesense against the same damped LSQR written with Octave's fft2 and
% ifft2 (tests/fixtures/lsqr_reference.m), all lambdas on one
% bidiagonalisation, on variable-density phantom samples, one thread.
  printf('%-28s %12s %12s %8s %10s\n', 'lcurvesense case', 'lcs ms', 'octave ms', 'ratio', 'max |d|');
  for c = {[128 128 8 8 30], [256 256 8 8 30], [192 192 8 20 20]}
    v = c{1}; M = v(1); N = v(2); L = v(3); p = v(4); iters = v(5);
    ph = vtx_phantom(M, N, L);
    f = -N/2 : N/2 - 1;
    keep = abs(f) < N/16 | (abs(f) < N/5 & mod(f, 2) == 0) | mod(f, 4) == 0;
    [x, y] = ndgrid(0:M-1, sort(mod(f(keep), N)));
    Y = [x(:) y(:)];
    idx = Y(:, 1) + 1 + M * Y(:, 2);
    k = zeros(rows(Y), L);
    for q = 1:L
      t = ifftshift(ph.k(:, :, q)) / sqrt(M * N);
      k(:, q) = t(idx);
    end
    lambda = logspace(-3, 0, p);
    tl = bench_time(@() quiet_lcs(ph.maps, k, Y, lambda, iters), 3);
    tp = bench_time(@() lsqr_reference(ph.maps, k, Y, lambda, iters), 3);
    a = quiet_lcs(ph.maps, k, Y, lambda, iters);
    b = lsqr_reference(ph.maps, k, Y, lambda, iters);
    d = max(abs(a(:) - b(:))) / max(abs(b(:)));
    printf('%-28s %12.0f %12.0f %8.2f %10.1e\n', ...
           sprintf('%dx%dx%d p=%d I=%d', M, N, L, p, iters), 1e3 * tl, 1e3 * tp, tl / tp, d);
  end
end

function X = quiet_lcs(W, k, Y, lambda, iters)
  % its empty console line stays off the report; the L-curve line goes to
  % the process's standard output
  evalc('X = lcurvesense(W, k, Y, lambda, iters);');
end
