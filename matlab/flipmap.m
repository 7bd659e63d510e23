%FLIPMAP  Prepare self-referenced B1 mapping data.
%   B = FLIPMAP(K) combines the coils of the multi-coil k-space series K,
%   reconstructs every slice of every acquisition, masks the voxels whose
%   signal is too weak or too isolated to carry a B1 estimate, and returns
%   for each voxel inside the mask its Nt complex image values divided by
%   their root-sum-of-squares; voxels outside the mask are 0. The B1 fit
%   itself is left to the caller.
%
%   B = FLIPMAP(K, THR) sets the mask threshold.
%
%   Steps
%     1. Coil mean with a sine window along the readout:
%        C = sum(K, 5) .* sin((0:Nx-1)' * pi / Nx) / Nc (the first readout
%        sample gets weight 0).
%     2. Each Nx-by-Ny slice of C: quadrant swap (FFTSHIFT for even sizes;
%        for odd sizes the last row or column stays in place), then the
%        unscaled backward 2-D FFT, IFFT2(...) * Nx * Ny. No shift after.
%     3. M = sqrt(sum(abs(C).^2, 4)), the magnitude over the series.
%     4. Mask: M >= THR * max(M(:)), and at least 3 of the 8 in-plane
%        neighbours also pass, counted with wrap-around at the edges.
%     5. B = C ./ M inside the mask, 0 outside.
%
%   Inputs
%     K    complex double Nx-by-Ny-by-Nz-by-Nt-by-Nc (readout, phase
%          encode, slice, acquisition, coil); missing trailing sizes count
%          as 1, every size at most 32767. Real arrays, other classes
%          (single included), more than 5 dimensions and Nc = 0 (no coils
%          to average: the mean would divide by zero) are refused.
%     THR  real double 1-by-1, the threshold as a fraction of the largest
%          magnitude, used in single precision; any value is accepted.
%          Default 0.09.
%
%   Output
%     B    complex double Nx-by-Ny-by-Nz-by-Nt.
%
%   Division by zero: a voxel whose magnitude M is 0 (all-zero data, or a
%   THR of 0 or below letting empty voxels pass) is returned as 0 rather
%   than divided by zero, so B holds no NaN made by the module itself.
%
%   Every accepted call prints the five sizes of K. A rejected input prints
%   a message naming it, with its sizes, and returns no output.
%
%   Example
%     % K: 64-by-64-by-10-by-4-by-8, four acquisitions at increasing flip
%     B = flipmap(K, 0.1);
%     imagesc(abs(B(:, :, 5, 1))); axis image
%
%   See also XFORM2, IFFT2.
