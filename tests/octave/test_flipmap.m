% flipmap against its steps written with Octave's functions (coil mean
% with the sine window, quadrant swap, ifft2, magnitude over the series,
% threshold, isolation filter with wrap-around, normalisation).
1;
function S = quadrant_swap(C)
  % the leading 2*floor(rows/2) x 2*floor(cols/2) block, halves exchanged
  hr = floor(rows(C) / 2); hc = floor(columns(C) / 2);
  S = C;
  S(1:2*hr, 1:2*hc) = C([hr+1:2*hr, 1:hr], [hc+1:2*hc, 1:hc]);
end

function n = neighbours(A, wrap)
  % in-plane count of the 8 neighbours, periodic or zero-padded
  n = zeros(size(A));
  [X, Y, Z] = size(A);
  for dx = -1:1
    for dy = -1:1
      if dx || dy
        s = circshift(circshift(A, dx, 1), dy, 2);
        if ~wrap
          if dx == 1, s(1, :, :) = 0; end
          if dx == -1, s(X, :, :) = 0; end
          if dy == 1, s(:, 1, :) = 0; end
          if dy == -1, s(:, Y, :) = 0; end
        end
        n += s;
      end
    end
  end
end

function [B, C, M, A, F] = reference(K, thr, wrap)
  if nargin < 3, wrap = true; end
  thr = double(single(thr));
  [Nx, Ny, Nz, Nt, Nc] = size(K);
  w = sin((0:Nx-1)' * 3.141592654 / Nx);
  C = sum(K, 5) .* w / Nc;
  for t = 1:Nt
    for z = 1:Nz
      C(:, :, z, t) = ifft2(quadrant_swap(C(:, :, z, t))) * (Nx * Ny);
    end
  end
  M = sqrt(sum(abs(C).^2, 4));
  A = M >= thr * max([M(:); 0]);
  F = A & neighbours(A, wrap) >= 3;
  B = C ./ M;
  B(~repmat(F | false(size(M)), [1 1 1 Nt])) = 0;
end

function B = quiet(varargin)
  evalc('B = flipmap(varargin{:});');
end

% the phantom: 4 acquisitions with a flip-angle dependent signal
p = vtx_phantom(64, 48, 4);
[Nx, Ny, L] = size(p.k);
Nt = 4;
[yy, xx] = ndgrid(linspace(-1, 1, Nx), linspace(-1, 1, Ny));
b1 = 1 - 0.3 * (xx.^2 + yy.^2);
K = zeros(Nx, Ny, 1, Nt, L);
for t = 1:Nt
  for c = 1:L
    img = p.coil(:, :, c) .* sin(t * pi / 9 * b1);
    K(:, :, 1, t, c) = fftshift(fft2(img));
  end
end
[want, C, M, A, F] = reference(K, 0.09);
B = quiet(K);
check_close(B, want, 1e-12, 'phantom, default threshold');
check_close(quiet(K, 0.09), want, 1e-12, 'explicit 0.09');
in = F(:);
rss = sqrt(sum(abs(reshape(B, [], Nt)).^2, 2));
assert(max(abs(rss(in) - 1)) < 1e-12, 'unit root-sum-of-squares inside the mask');
assert(all(rss(~in) == 0), 'zero outside');
Cr = reshape(C, [], Nt); Br = reshape(B, [], Nt);
assert(max(max(abs(angle(Br(in, :) ./ Cr(in, :))))) < 1e-12, 'the phase of the images is kept');

% thr = 0.5: only voxels at half the largest magnitude or above
[want, ~, M, A] = reference(K, 0.5);
B = quiet(K, 0.5);
check_close(B, want, 1e-12, 'thr 0.5');
passed = any(reshape(B, [], Nt) ~= 0, 2);
assert(all(M(passed) >= 0.5 * max(M(:))) && nnz(passed) < nnz(F));

% several slices, odd sizes and the isolation filter across the edges:
% noise at a threshold where about half the voxels pass
randn('seed', 2);
removed = false; wrapped = false;
for sz = {[8 6 2 5 3], [7 5 1 4 2], [9 9 3 3 1], [6 8 2 2]}
  s = sz{1};
  Kn = complex(randn(s), randn(s));
  [want, ~, ~, A, F] = reference(Kn, 0.6);
  nowrap = reference(Kn, 0.6, false);
  check_close(quiet(Kn, 0.6), want, 1e-12, mat2str(s));
  removed = removed || any(A(:) & ~F(:));
  wrapped = wrapped || ~isequal(want, nowrap);
end
assert(removed, 'the isolation filter removed voxels');
assert(wrapped, 'wrap-around decided some voxels');

% a 4-D K (one coil) is the 5-D K with a fifth size of 1
K4 = K(:, :, :, :, 1);
assert(isequal(quiet(K4), quiet(reshape(K4, [Nx Ny 1 Nt 1]))));

% the first readout sample gets weight sin(0) = 0
K0 = K; K0(1, :, :, :, :) = 1e3;
assert(isequal(quiet(K0), quiet(K)));

% all-zero data: no voxel has a magnitude to divide by, B is 0 (not NaN)
Z = quiet(complex(zeros(8, 8, 1, 3, 2)));
assert(isequal(Z, zeros(8, 8, 1, 3)) && ~any(isnan(Z(:))));
% a negative threshold passes every voxel; zero-magnitude ones stay 0
Kz = K; Kz(:, :, :, :, :) = 0; Kz(20:30, 20:30, 1, :, :) = K(20:30, 20:30, 1, :, :);
Bz = quiet(Kz, -1);
assert(~any(isnan(Bz(:))));
% NaN in K: the voxels it reaches are not in the mask; no crash
Kn = K; Kn(10, 10, 1, 2, 1) = NaN;
Bn = quiet(Kn);
assert(isequal(size(Bn), [Nx Ny 1 Nt](1:ndims(Bn))));

% console: the sizes of every accepted call
out = evalc('flipmap(K4);');
assert(strcmp(out, sprintf('\t (in:[ %d %d 1 %d 1 ]) \n', Nx, Ny, Nt)));

% messages, and no output after a refused input
first = 'error with 1st input: Need to declare a complex Nx-Ny-Nz-Nt-Ncoils array for the input data.';
second = 'error with 2nd input: Need to declare a scalar value  for the B1 SNR threshold.';
refused = {{real(K)}, {single(K)}, {int16([1 2])}, {'abc'}, {struct('a', 1)}, {{1}}, ...
           {complex(zeros(2, 2, 1, 1, 0))}, {complex(ones(2, 2, 1, 1, 1, 2))}, ...
           {K, [0.1 0.2]}, {K, 'a'}, {K, single(0.1)}, {K, []}, {K, int8(1)}, {K, ones(1, 1, 2)}};
for i = 1:numel(refused)
  c = refused{i};
  out = evalc('flipmap(c{:})');
  if numel(c) > 1
    assert(~isempty(strfind(out, second)), 'message for refused case %d', i);
  else
    assert(~isempty(strfind(out, first)), 'message for refused case %d', i);
  end
  failed = false;
  try
    evalc('y = flipmap(c{:});');
  catch
    failed = true;
  end
  assert(failed, 'refused case %d returned an output', i);
end
out = evalc('flipmap(K, [0.1 0.2])');
assert(~isempty(strfind(out, sprintf('\t (in:[ 1 2 ]) \n'))));
out = evalc('flipmap(single(K))');
assert(~isempty(strfind(out, sprintf('\t (in:[ %d %d 1 %d %d ]) \n', Nx, Ny, Nt, L))));
out = evalc('flipmap()');
assert(strcmp(out, sprintf('At least 1 input argument is required. (k:measured k-space)\n')));
printf('test_flipmap: all cases passed\n');
