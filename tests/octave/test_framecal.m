% framecal on synthetic echo-planar frame pairs of the phantom: the even
% frame's odd lines and the odd frame's even lines carry a readout phase
% slope and a constant phase. Output shapes for 3-, 4- and 5-D inputs,
% images against the true coil images, the kernel struct fed to grappa,
% messages, and hostile inputs that must only be refused.
1;
% Frames of coil images x (M x M x L) under the phase error
% exp(i (beta (k - M/2) + alpha)) along the readout k; truth is what the
% alignment makes of x: half of the error on each image.
function [ev, od, truth] = frame_pair(x, alpha, beta)
  M = rows(x);
  phi = (beta * ((0:M-1)' - M/2) + alpha) * ones(1, M);
  P = exp(1i * phi);
  ev = zeros(size(x)); od = ev; truth = ev;
  for c = 1:size(x, 3)
    k0 = fftshift(fft2(fftshift(x(:, :, c))));
    k1 = fftshift(fft2(fftshift(x(:, :, c) .* P)));
    ev(:, 1:2:end, c) = k0(:, 1:2:end); ev(:, 2:2:end, c) = k1(:, 2:2:end);
    od(:, 1:2:end, c) = k1(:, 1:2:end); od(:, 2:2:end, c) = k0(:, 2:2:end);
    truth(:, :, c) = x(:, :, c) .* exp(0.5i * phi);
  end
end

% Frame sets stacked along the third dimension: [M M Z L].
function [ev, od, truth] = frame_sets(x, alphas, betas)
  [M, ~, L] = size(x);
  Z = numel(alphas);
  ev = zeros(M, M, Z, L); od = ev; truth = ev;
  for z = 1:Z
    [e, o, t] = frame_pair(x * (1 + 0.1 * z), alphas(z), betas(z));
    ev(:, :, z, :) = reshape(e, M, M, 1, L);
    od(:, :, z, :) = reshape(o, M, M, 1, L);
    truth(:, :, z, :) = reshape(t, M, M, 1, L);
  end
end

L = 8;
% relative error of output 1 against the aligned truth, measured at
% 0.0035 (64) and 0.0034 (128)
for M = [64 128]
  p = vtx_phantom(M, M, L);
  [ev, od, truth] = frame_pair(p.coil, 0.7, 0.05);
  [img, img_even, par] = framecal(ev, od);
  what = sprintf('%d x %d', M, M);
  assert(isequal(size(img), [M M 1 L]) && isequal(size(img_even), [M M 1 L]), '%s: sizes', what);
  assert(isequal(size(par), [1 1]) && isequal(fieldnames(par), {'dk'; 'pattern'; 'coef'}));
  assert(par.dk == 2 && strcmp(par.pattern, '*x*') && isequal(size(par.coef), [80 L]));
  assert(iscomplex(par.coef));
  truth = reshape(truth, M, M, 1, L);
  check_close(img, truth, 0.01, [what ': odd frames against the true coil images']);
  check_close(img_even, truth, 0.01, [what ': even frames against the true coil images']);
  printf('test_framecal: %s relative error %.4f (odd), %.4f (even)\n', what, ...
         norm(img(:) - truth(:)) / norm(truth(:)), norm(img_even(:) - truth(:)) / norm(truth(:)));

  % the kernels complete the odd frame's unerred lines in grappa (6th input)
  lines = (2:2:M)';
  k0 = zeros(M, M, L);
  for c = 1:L, k0(:, :, c) = fftshift(fft2(fftshift(p.coil(:, :, c)))); end
  k = grappa([M M L], od(:, lines, :), lines, '2x5', [], par);
  check_close(k, k0, 0.01, [what ': grappa with the framecal kernels']);
end

% with two inputs output 1 rebuilds the odd frames; a 3rd input takes their
% place, in the frames' own shape or as [M N Z L]
M = 64;
p = vtx_phantom(M, M, L);
[ev, od, truth] = frame_sets(p.coil, [0.7 -1.2 2.0], [0.05 -0.03 0.02]);
img = framecal(ev, od);
assert(isequal(size(img), [M M 3 L]));
check_close(img, truth, 0.01, '4-D: three frame sets');
assert(isequal(framecal(ev, od, od), img));
img_ev = framecal(ev, od, ev);
check_close(img_ev, truth, 0.01, '4-D: even frames as the 3rd input');
% every frame set has its own kernels; the first feeds grappa
[~, ~, par] = framecal(ev, od);
assert(isequal(size(par), [1 3]) && ~isequal(par(1).coef, par(2).coef));
lines = (2:2:M)';
k = grappa([M M L], squeeze(od(:, lines, 1, :)), lines, '2x5', [], par);
assert(isequal(size(k), [M M L]) && all(isfinite(k(:))));

% five dimensions fold to Z = 6 frame sets
ev5 = cat(3, ev, ev(:, :, [2 3 1], :));
od5 = cat(3, od, od(:, :, [2 3 1], :));
ev5 = reshape(ev5, M, M, 3, 2, L); od5 = reshape(od5, M, M, 3, 2, L);
[img5, img5_even, par5] = framecal(ev5, od5);
assert(isequal(size(img5), [M M 6 L]) && isequal(size(img5_even), [M M 6 L]));
assert(isequal(size(par5), [1 6]));
check_close(img5(:, :, 1:3, :), img, 1e-12, '5-D: the first three frame sets');
assert(isequal(framecal(ev5, od5, reshape(od5, M, M, 6, L)), img5));

% a call with no outputs runs and prints nothing
assert(isempty(evalc('framecal(ev, od)')));

% real frames: no imaginary part to read, zeros taken
[r, r_even] = framecal(real(ev), real(od));
assert(isequal(size(r), [M M 3 L]) && all(isfinite(r(:))) && all(isfinite(r_even(:))));

% all-zero frames leave nothing to align: zero images, not NaN
[z, z_even, zpar] = framecal(complex(zeros(16, 16, 2)), complex(zeros(16, 16, 2)));
assert(all(z(:) == 0) && all(z_even(:) == 0) && all(isfinite(zpar.coef(:))));

% messages
first = ['error with 1st input: Need to declare a complex M-by-N-by-...-by-L array for ' ...
         'the input data.\n'];
second = strrep(first, '1st', '2nd');
third = ['error with 3nd input: Need to declare a complex M-by-N-by-Z-by-L array for ' ...
         'the input data.\n'];
small = complex(randn(16, 16, 4), randn(16, 16, 4));
cases = {
  {small, small(:, :, 1:2)}, ...
      sprintf('Error: input matrix size mismatch - A: [  4 ... ] vs B: [  2 ... ]\n');
  {small(:, 1:8, :), small}, [sprintf(first) sprintf('\t (in:[ 16 8 4 1 ]) \n')];
  {small, small(:, :, 1)}, [sprintf(second) sprintf('\t (in:[ 16 16 1 1 ]) \n')];
  {small, single(small)}, [sprintf(second) sprintf('\t (in:[ 16 16 4 1 ]) \n')];
  {small, small, small(:, :, 1:3)}, [sprintf(third) sprintf('\t (in:[ 16 16 3 1 ]) \n')];
  {small, small, reshape(small, 16, 16, 2, 2)}, [sprintf(third) sprintf('\t (in:[ 16 16 2 2 ]) \n')];
  {small}, ['At least 3 input arguments are required. (k:measured k-space, Y: associated ' ...
            'list of acquired phase encode lines, sz: size of output coil maps)'];
};
for i = 1:rows(cases)
  args = cases{i, 1};
  out = evalc('try, img = framecal(args{:}); catch, end');
  assert(strcmp(out, cases{i, 2}), 'message case %d: got "%s"', i, out);
end
out = evalc('try, [a, b, c, d] = framecal(small, small); catch, end');
assert(strcmp(out, 'Too many output arguments.'));

% hostile inputs: refused or served, never a crash
good = {small, small, small};
hostile = {int32(ones(4, 4, 2)), true(4, 4, 2), struct('a', 1), {1, 2}, sparse([1 0 1]), 'abc', ...
           [], zeros(0, 0, 3), zeros(4, 4, 0), NaN(16, 16, 4), zeros(16, 16, 4), single(1), ...
           complex(1, 1), zeros(2, 2), complex(NaN(16, 16, 4), 1), ones(1, 1, 4)};
for pos = 1:numel(good)
  for h = 1:numel(hostile)
    args = good;
    args{pos} = hostile{h};
    evalc('try, [a, b, c] = framecal(args{:}); catch, end');
  end
end
printf('test_framecal: all cases passed\n');
