function bench_warpfill()
% warpfill against the same placement written with Octave indexing: every
% line of a 256 x 256 x 32 grid, listed in shuffled order.
  randn('state', 1); rand('state', 1);
  M = 256; N = 256; Z = 32;
  [ly, lz] = ndgrid(1:N, 1:Z);
  order = randperm(N * Z);
  Y = [ly(order)' lz(order)'];
  k = complex(randn(M, N * Z), randn(M, N * Z));
  printf('%-22s %12s %12s %8s %10s\n', 'warpfill case', 'module ms', 'octave ms', 'ratio', 'max |d|');
  tm = bench_time(@() quiet_warpfill(Y, k, [M N Z]), 7);
  tp = bench_time(@() peer_warpfill(Y, k, [M N Z]), 7);
  d = max(abs(quiet_warpfill(Y, k, [M N Z])(:) - peer_warpfill(Y, k, [M N Z])(:)));
  printf('%-22s %12.1f %12.1f %8.2f %10.1e\n', sprintf('%dx%dx%d all lines', M, N, Z), ...
         1e3 * tm, 1e3 * tp, tm / tp, d);
end

function y = quiet_warpfill(Y, k, sz)
  evalc('y = warpfill(Y, k, sz);');
end

function out = peer_warpfill(Y, k, sz)
  c = fix(double(single(Y) - 1));
  out = complex(zeros(sz(1), sz(2) * sz(3)));
  out(:, c(:, 1) + 1 + sz(2) * c(:, 2)) = complex(double(single(real(k))), double(single(imag(k))));
  out = reshape(out, sz);
end
