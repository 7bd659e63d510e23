% ghostfix against ghosts of known slope made from the phantom, a direct
% formula of the slope fit, and its messages.
1;
function s = fit_slope(O, E, mask)
  % the slope of the unwrapped phase of one block, from the definition
  D = zeros(size(O));
  nz = abs(O) ~= 0;
  D(nz) = O(nz) .* conj(E(nz)) ./ abs(O(nz));
  phi = atan2(imag(D), real(D));
  n = numel(phi);
  dcorr = zeros(n, 1);
  last = 0;
  for x = 2:n
    if mask(x)
      ref = last;
      if ref == 0, ref = x - 1; end
      d = phi(x) - phi(ref);
      w = mod(d + pi, 2 * pi) - pi;
      if abs(d) > pi, dcorr(x) = w - d; end
      last = x;
    end
  end
  phi = phi + cumsum(dcorr);
  t = find(mask);
  A = [ones(numel(t), 1), t(:)];
  if isempty(t), s = 0; return; end
  c = pinv(A) * phi(t);
  s = c(2);
end

function y = centred_b(x)
  y = fftshift(ifft(ifftshift(x, 1), [], 1), 1);
end

function k = centred_k(img)
  k = zeros(size(img));
  for b = 1:size(img, 3)
    k(:, :, b) = fftshift(fft2(ifftshift(img(:, :, b))));
  end
end

function e = ghost_energy(k, truth)
  % energy of the image error, as a fraction of the image energy
  img = @(z) fftshift(ifft2(ifftshift(z)));
  d = 0; t = 0;
  for b = 1:size(k, 3)
    d = d + norm(img(k(:, :, b)) - img(truth(:, :, b)), 'fro')^2;
    t = t + norm(img(truth(:, :, b)), 'fro')^2;
  end
  e = d / t;
end

p = vtx_phantom(64, 64, 4);
truth = centred_k(p.coil);

% known slopes, three navigator lines: the slopes come back and the ghost
% goes away
alpha = [0.12; -0.3; 0.05; 0.7];
[k, r] = epi_ghost(p.coil, alpha, 3);
[kc, s] = ghostfix(k, r);
assert(isequal(size(s), [4 1]) && isreal(s));
assert(max(abs(s - alpha)) < 1e-6, 'slopes %s', mat2str(s'));
before = ghost_energy(k, truth);
after = ghost_energy(kc, truth);
printf('ghost energy %.3g -> %.3g (factor %.3g)\n', before, after, before / after);
assert(before > 1e-3 && after < 1e-10 * before);

% even navigators equal to the odd ones: no slope, k back to rounding
r0 = r;
r0(:, 2, :) = r0(:, 1, :);
[kc0, s0] = ghostfix(k, r0);
assert(all(s0 == 0));
check_close(kc0, k, 1e-13, 'no slope');

% four navigator lines, the means of lines 0, 2 and 1, 3
[k4, r4] = epi_ghost(p.coil, alpha, 4);
r4(:, 1, :) = r4(:, 1, :) * 1.5;
r4(:, 3, :) = r4(:, 3, :) * 0.5;
[~, s4] = ghostfix(k4, r4);
assert(max(abs(s4 - alpha)) < 1e-6);

% blocks from the 3rd and 4th dimensions, in storage order; the reference
% may spread its blocks differently
alpha6 = [0.1; 0.2; -0.1; 0.25; -0.05; 0.15];
q = vtx_phantom(32, 16, 6);
[k6, r6] = epi_ghost(reshape(q.coil, 32, 16, 2, 3), alpha6, 3);
[kc6, s6] = ghostfix(k6, reshape(r6, 32, 3, 6));
assert(isequal(size(kc6), [32 16 2 3]) && isequal(size(s6), [6 1]));
assert(max(abs(s6 - alpha6)) < 1e-6);
check_close(kc6, reshape(centred_k(q.coil), 32, 16, 2, 3), 1e-6, 'blocks');
[kc1, s1] = ghostfix(k6(:, :, 2, 3), r6(:, :, 2, 3));
assert(s1 == s6(6));
check_close(kc1, kc6(:, :, 2, 3), 1e-15, 'one block alone');

% the mask is 5 % of the largest odd navigator magnitude of the whole
% reference: a faint block and an empty block get slope 0
rf = r;
rf(:, :, 2) = rf(:, :, 2) * 1e-3;
rf(:, :, 3) = 0;
[kcf, sf] = ghostfix(k, rf);
assert(sf(2) == 0 && sf(3) == 0);
assert(max(abs(sf([1 4]) - alpha([1 4]))) < 1e-6);
check_close(kcf(:, :, 3), k(:, :, 3), 1e-13, 'empty block untouched');

% steep slopes wrap many times along the readout and across masked gaps
for a = [2.5, -3.0, 1.9]
  [kw, rw] = epi_ghost(p.coil(:, :, 1), a, 3);
  [~, sw] = ghostfix(kw, rw);
  assert(abs(sw - a) < 1e-5, 'slope %g gave %g', a, sw);
end

% random references: the fit as defined, including jumps above pi between
% masked neighbours
randn('seed', 11);
M = 32; Q = 5;
rr = complex(randn(M, 3, Q), randn(M, 3, Q));
[~, sr] = ghostfix(complex(zeros(M, 4, Q)), rr);
O = centred_b(squeeze(rr(:, 2, :)));
E = centred_b(squeeze((rr(:, 1, :) + rr(:, 3, :)) / 2));
mask = abs(O) > 0.05 * max(abs(O(:)));
for b = 1:Q
  want = fit_slope(O(:, b), E(:, b), mask(:, b));
  assert(abs(sr(b) - want) < 1e-6 * max(1, abs(want)), 'block %d: %g vs %g', b, sr(b), want);
end

% k of two dimensions is one block; no outputs asked still runs
[kc2, s2] = ghostfix(k(:, :, 1), r(:, :, 1));
check_close(kc2, kc(:, :, 1), 1e-15, 'two dimensions');
ghostfix(k(:, :, 1), r(:, :, 1));

% empty and zero-size arrays give empty results
[ke, se] = ghostfix(complex(zeros(0, 4)), complex(zeros(8, 3)));
assert(isequal(size(ke), [0 4]) && se == 0);
[ke, se] = ghostfix(complex(zeros(8, 4, 0)), complex(zeros(8, 3, 0)));
assert(isequal(size(ke), [8 4 0]) && isequal(size(se), [0 1]));

% NaN and Inf stay in their blocks: a NaN slope for a bad reference
% block, a NaN line for a bad data sample
kn = k; kn(5, 5, 2) = NaN;
rn = r; rn(7, 1, 4) = NaN; rn(9, 2, 3) = Inf;
[kcn, sn] = ghostfix(kn, rn);
assert(max(abs(sn(1:2) - alpha(1:2))) < 1e-6 && all(isnan(sn(3:4))));
assert(all(isfinite(kcn(:, :, 1)(:))) && all(isnan(kcn(:, :, 4)(:))));
assert(isequal(find(any(isnan(kcn(:, :, 2)))), 5));

% messages, and no outputs after a refusal
msgs = {
  {}, 'At least 2 input arguments are required. (k:measured k-space, r: ngc reference data)'
  {k}, 'At least 2 input arguments are required.'
  {real(k), r}, sprintf('error with 1st input: Need to declare a double complex M-by-N-by-... array for the input data.\n\t (in:[ 64 64 ... ]) ndim: 3 ')
  {single(k), r}, 'error with 1st input: Need to declare a double complex'
  {k, int16(real(r))}, sprintf('error with 2nd input: Need to declare a double complex M-by-K-by-... array for the input data.\n\t (in:[ 64 3 ... ]) ')
  {k(1:63, :, :), r}, 'error with 1st input: Need an even number of readout points M, at most 32766.'
  {k, r(:, 1, :)}, 'error with 2nd input: Need an even number of readout points M and at least 2 navigator lines K.'
  {k, r(1:63, :, :)}, 'error with 2nd input: Need an even number of readout points M'
  {k, r(:, :, 1:3)}, 'Error: input matrix size mismatch - A: [ [ .. ..  4 ... ] vs B: [ [ .. ..  3 ... ]'
  {'k', r}, 'error with 1st input'
  {{k}, r}, 'error with 1st input'
  {k, struct('r', r)}, 'error with 2nd input'
  {k, sparse(1)}, 'error with 2nd input'
  {[], []}, sprintf('error with 1st input: Need to declare a double complex M-by-N-by-... array for the input data.\n\t (in:[ 0 0 ... ]) ndim: 2 ')
  {true(4), r}, 'error with 1st input'
  {complex(zeros(2, 2, 1, 1, 1, 1, 1, 1, 2)), r}, sprintf('(in:[ 2 2 ... ]) ndim: 9 ')
  {k, complex([])}, sprintf('error with 2nd input: Need an even number of readout points M and at least 2 navigator lines K.\n\t (in:[ 0 0 ... ]) ')
};
for i = 1:rows(msgs)
  args = msgs{i, 1};
  failed = false;
  out = evalc('try, kx = ghostfix(args{:}); catch, failed = true; end');
  assert(~isempty(strfind(out, msgs{i, 2})), 'case %d printed: %s', i, out);
  assert(failed, 'case %d returned an output', i);   % the host reports the unassigned output
end
failed = false;
out = evalc('try, [a, b, c] = ghostfix(k, r); catch, failed = true; end');
assert(failed && strcmp(strtrim(out), 'Too many output arguments.'), 'three outputs: %s', out);
