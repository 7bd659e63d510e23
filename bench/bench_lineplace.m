function bench_lineplace()
% lineplace against the same placement and density weights written with
% Octave indexing, 256 x 256 x 32 with a variable-density list (dense
% centre, every 2nd then every 4th line outside).
  randn('state', 1);
  M = 256; N = 256; Z = 32;
  Y = unique([1:4:65, 65:2:97, 98:160, 161:2:193, 193:4:256])';
  k = complex(randn(M, numel(Y), Z), randn(M, numel(Y), Z));
  printf('%-22s %12s %12s %8s %10s\n', 'lineplace case', 'module ms', 'octave ms', 'ratio', 'max |d|');
  tm = bench_time(@() quiet_lineplace(Y, k, [M N Z]), 7);
  tp = bench_time(@() peer_lineplace(Y, k, N), 7);
  d = max(abs(quiet_lineplace(Y, k, [M N Z])(:) - peer_lineplace(Y, k, N)(:)));
  printf('%-22s %12.1f %12.1f %8.2f %10.1e\n', sprintf('%dx%dx%d %d lines', M, N, Z, numel(Y)), ...
         1e3 * tm, 1e3 * tp, tm / tp, d);
end

function y = quiet_lineplace(Y, k, sz)
  evalc('y = lineplace(Y, k, sz);');
end

function out = peer_lineplace(Y, k, N)
  % Gaps to the neighbouring lines (sorted, distinct, wrapping once at the
  % ends), weights 1/trunc of the half-widths, edge lines copy their inner
  % neighbour; then placement and compensation by indexing.
  l = unique(fix(double(single(Y) - 1)));
  gl = diff([-1; l]) - 1;  gl(1) += 1 * (l(1) > 0);
  gr = diff([l; N]) - 1;   gr(end) += 1 * (l(end) < N - 1);
  gl(1) = min(gl(1), 1);   gr(end) = min(gr(end), 1);
  w = 1 ./ fix((gl + gr + 2) * 0.5);
  if numel(w) >= 2, w(1) = w(2); w(end) = w(end - 1); end
  ks = complex(double(single(real(k))), double(single(imag(k))));
  f = zeros(N, 1); f(l + 1) = 1 ./ double(single(w));
  out = complex(zeros(size(k, 1), N, size(k, 3)));
  out(:, fix(double(single(Y) - 1)) + 1, :) = ks;
  out = out .* reshape(f, 1, N);
end
