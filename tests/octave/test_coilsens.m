% coilsens on the phantom: against a direct computation of its window and
% transforms, against the phantom's true coil maps, GRAPPA completion of R = 2
% data with its "O.nd" file, the background mask, and hostile inputs.
1;
function ref = direct_maps(kgrid, present)
  % The block, window, transforms and normalisation written out with
  % Octave's own functions, from the N x M x L grid and its present lines.
  [N, M, L] = size(kgrid);
  K = 0;
  while K < floor(N / 2)
    lo = floor(N / 2) - K; hi = floor(N / 2) + K + 1;   % 0-based
    if hi >= N || ~present(lo + 1) || ~present(hi + 1), break; end
    K = K + 1;
  end
  a = 2 * K; d = floor((N - a) / 2);
  b = ((0:a-1)' - floor((a - 1) / 2)) * 2.5 / floor(a / 2);
  e = double(((single(0:M-1) - single(M - 1) * single(0.5)) * single(10)) / (single(M) * single(0.5)));
  w = exp(-b.^2 / 2) * exp(-e.^2 / 2);
  img = zeros(N, M, L);
  for c = 1:L
    kw = zeros(N, M);
    kw(d+1:d+a, :) = w .* kgrid(d+1:d+a, :, c);
    img(:, :, c) = ifft2(fftshift(kw)) * N * M;
  end
  rss = sqrt(sum(abs(img).^2, 3));
  ref = img ./ rss;
  ref(repmat(rss == 0, [1 1 L])) = 0;
end

function m = eroded(m, n)
  for it = 1:n
    m = m & circshift(m, 1, 1) & circshift(m, -1, 1) & circshift(m, 1, 2) & circshift(m, -1, 2);
  end
end

function leave(home, scratch)
  cd(home);
  confirm_recursive_rmdir(false);
  rmdir(scratch, 's');
end

function out = console(varargin)
  out = evalc('coilsens(varargin{:});');
end

function m = quiet(varargin)
  % coilsens without its console lines
  evalc('m = coilsens(varargin{:});');
end

function refused(msg, varargin)
  out = console(varargin{:});
  assert(~isempty(strfind(out, msg)), 'expected "%s", got "%s"', msg, out);
  failed = false;
  try
    evalc('m = coilsens(varargin{:});');
  catch
    failed = true;   % the host reports the unassigned output
  end
  assert(failed, 'a refused call returned an output: %s', msg);
end

% Absolute paths before leaving the build folder for a scratch one.
for d = strsplit(path(), pathsep)
  if ~is_absolute_filename(d{1}) && ~strcmp(d{1}, '.')
    rmpath(d{1});
    addpath(make_absolute_filename(d{1}));
  end
end
home = pwd;
scratch = tempname();
mkdir(scratch);
cd(scratch);
cleanup = onCleanup(@() leave(home, scratch));

M = 120; N = 96; L = 8;   % M: the single-precision readout window differs from double
p = vtx_phantom(M, N, L);
k = permute(p.k, [2 1 3]);            % lines first: N x M x L
truth = permute(p.maps ./ sqrt(sum(abs(p.maps).^2, 3)), [2 1 3]);
object = eroded(p.img.' > 0.15, 3);
inside = repmat(object, [1 1 L]);

% fully sampled: unit power wherever RSS > 0, no file, the direct computation
full = quiet(k, (1:N)', [N M]);
assert(isequal(size(full), [N M L]) && iscomplex(full));
power = sum(abs(full).^2, 3);
assert(max(abs(power(power > 0) - 1)) < 1e-12, 'sum of |map|^2 is not 1');
assert(~exist('O.nd', 'file'), 'fully sampled data wrote O.nd');
check_close(full, direct_maps(k, true(N, 1)), 1e-10, 'fully sampled against the direct maps');

% the true maps inside the object: magnitude and phase relative to coil 1
mag_err = max(abs(abs(full(inside)) - abs(truth(inside))));
rel = @(m) angle(m .* conj(m(:, :, 1)));
dphase = angle(exp(1i * (rel(full) - rel(truth))));
phase_err = max(abs(dphase(inside)));
printf('test_coilsens: inside the object |map| within %.4f, relative phase within %.4f rad\n', ...
       mag_err, phase_err);
assert(mag_err < 0.03 && phase_err < 0.04, 'maps far from the true coil maps');

% the list order does not matter, nor does a list that is not the grid
order = (N:-1:1)';
check_close(quiet(k(order, :, :), order, [N M]), full, 1e-15, 'reversed list');
assert(~exist('O.nd', 'file'));
% a shuffled list counts as undersampled, and GRAPPA has nothing to fill
rand('seed', 3);
order = randperm(N)';
check_close(quiet(k(order, :, :), order, [N M]), full, 1e-15, 'shuffled list');
assert(exist('O.nd', 'file') == 2);
delete('O.nd');
part = (N/2 - 20 : N/2 + 25)';
grid = zeros(N, M, L); grid(part, :, :) = k(part, :, :);
present = false(N, 1); present(part) = true;
check_close(quiet(k(part, :, :), part, [N M]), direct_maps(grid, present), 1e-10, ...
            'central lines only');
check_close(quiet(real(k), (1:N)', [N M]), quiet(complex(real(k), 0), (1:N)', [N M]), ...
            1e-15, 'real input');

% R = 2 with a fully sampled centre: GRAPPA completion written to O.nd
Y = union(1:2:N, N/2 - 11 : N/2 + 12)';
r2 = quiet(k(Y, :, :), Y, [N 1]);
assert(exist('O.nd', 'file') == 2, 'undersampled data wrote no O.nd');
s = nddf_read('O.nd');
assert(isequal(s.dims, [M N L]) && strcmp(s.tag, 'dblc'), 'O.nd sizes or tag');
assert(isequal(s.data(:, Y, :), p.k(:, Y, :)), 'acquired lines are not in O.nd as measured');
missing = setdiff(1:N, Y);
band = M/2 - M/8 + 1 : M/2 + M/8;                % the central quarter of the readout
check_close(s.data(band, missing, :), p.k(band, missing, :), 0.05, 'synthesized lines');
assert(all(all(all(s.data(setdiff(1:M, band), missing, :) == 0))), 'lines written beyond the band');
power = sum(abs(r2).^2, 3);
assert(max(abs(power(power > 0) - 1)) < 1e-12);
r2_err = norm(r2(inside) - full(inside)) / norm(full(inside));
printf('test_coilsens: R = 2 maps within %.4f (relative) of the fully sampled ones\n', r2_err);
assert(r2_err < 0.02, 'R = 2 maps far from the fully sampled ones');
delete('O.nd');

% the mask removes the background and keeps the object
masked = quiet(k, (1:N)', [N M], 1);
bg = repmat(eroded(p.img.' == 0, 12), [1 1 L]);   % 12 pixels or more from the object
assert(all(masked(bg) == 0), 'the mask left background');
assert(any(full(bg) ~= 0), 'nothing to remove without the mask');
assert(isequal(masked(inside), full(inside)), 'the mask changed the object');

% hostile inputs: messages, no output, no crash
first = 'error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.';
second = 'error with 2rd input: Need to declare a real M-by-1 array for the output data size';
third = 'error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil sensitivity data.';
fourth = 'error with 4th input: Need to declare a 1-by-1 array to flag masking on (1) or off (0).';
small = k(1:8, 1:16, 1:2); y8 = (1:8)';
refused('At least 3 input arguments are required.', small, y8);
refused(second, small, y8', [8 16]);
refused(second, small, complex(y8, 1), [8 16]);
refused(second, small, int32(y8), [8 16]);
refused(second, small, [0; y8(2:end)], [8 16]);
refused(second, small, [y8(1:end-1); 9], [8 16]);
refused(second, small, [y8(1:end-1); NaN], [8 16]);
refused(second, small, zeros(0, 1), [8 16]);
refused(third, small, y8, [0 16]);
refused(third, small, y8, NaN);
refused(third, small, y8, 3e9);
refused(third, small, y8, 2e8);               % maps beyond int32 elements
refused(third, small, y8, ones(1, 2, 2));
refused(third, small, y8, {8});
refused(first, small(:, :, 1), y8, [8 16]);
refused(first, small(1:7, :, :), y8, [8 16]);
refused(first, single(small), y8, [8 16]);
refused(first, zeros(8, 0, 2), y8, [8 16]);
refused(first, zeros(8, 4, 0), y8, [8 16]);
refused(first, 'k-space', y8, [8 16]);
refused(fourth, small, y8, [8 16], 'on');
refused(fourth, small, y8, [8 16], ones(1, 1, 2));
refused(fourth, small, y8, [8 16], int8(1));
assert(strcmp(console(small, y8, [8 16]), ...
               sprintf('input Y lines:\n%s\n\n', sprintf(' %3d', 0:7))), 'console lines');
% extreme values travel through without harm
odd = small; odd(3, 3, 1) = NaN; odd(4, 4, 2) = Inf;
m = quiet(odd, y8, [8 16], 1);
assert(isequal(size(m), [8 16 2]));
m = quiet(small, [1; 1; 1; 1; 1; 1; 1; 1], 1);   % every row on one line of a 1-line grid
assert(isequal(size(m), [1 16 2]) && all(m(:) == 0));
m = quiet(small, (8:-1:1)' * 3, 24);        % undersampled, in descending order
assert(isequal(size(m), [24 16 2]));
delete('O.nd');
printf('test_coilsens: all cases passed\n');
