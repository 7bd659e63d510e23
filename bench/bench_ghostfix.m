function bench_ghostfix()
% ghostfix against the same estimate and correction written in Octave
% (peer_ghostfix), on phantom echo-planar k-space of 128 x 128 x 32 coils
% x 10 blocks with three navigator lines per block, one thread.
  M = 128; N = 128; L = 32; F = 10;
  p = vtx_phantom(M, N, L);
  alpha = linspace(-0.2, 0.2, L * F)';
  [k, r] = epi_ghost(repmat(p.coil, [1 1 1 F]), alpha, 3);
  [kc, s] = ghostfix(k, r);
  [kp, sp] = peer_ghostfix(k, r);
  printf('%-22s %12s %12s %8s\n', 'ghostfix case', 'ghostfix ms', 'octave ms', 'ratio');
  tg = bench_time(@() ghostfix(k, r), 5);
  tp = bench_time(@() peer_ghostfix(k, r), 5);
  printf('%-22s %12.1f %12.1f %8.2f\n', sprintf('%dx%dx%dx%d', M, N, L, F), 1e3 * tg, 1e3 * tp, tg / tp);
  printf('  slopes: max |module - peer| %.1e, |module - truth| %.1e; kc vs peer %.1e\n', ...
         max(abs(s - sp)), max(abs(s - alpha)), norm(kc(:) - kp(:)) / norm(kp(:)));
end
