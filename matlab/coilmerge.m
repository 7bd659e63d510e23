%COILMERGE  Virtual body coil combination of multi-coil images.
%   IMG = COILMERGE(DATA) combines the coil images of every frame into one
%   image. For each frame it scales every coil image to unit norm, finds
%   the complex coil weights W along which these images are most alike
%   (the dominant right singular vector of the pixels-by-coils matrix,
%   found by a Lanczos SVD) and sums the unscaled coil images with them:
%   IMG(:,:,f) = sum over c of DATA(:,:,f,c) * W(c,f).
%
%   The weights of every frame after the first are multiplied by the unit
%   complex number that makes sum(W(:,f) .* W(:,1)) real and non-negative
%   (the plain, unconjugated sum), so that a dynamic series keeps one
%   phase from frame to frame.
%
%   [IMG, WTS] = COILMERGE(DATA) also returns the L-by-Nf weights used.
%
%   [IMG, WTS] = COILMERGE(DATA, WTS) applies given weights instead of
%   searching for them (for example weights found on a reference scan):
%   WTS(c + L*(f-1)) weights coil c of frame f, whatever the shape of WTS.
%   Applying the weights that the one-input form returned to the same data
%   reproduces its images exactly. The second output is then WTS itself,
%   in its own shape, as a complex array.
%
%   Inputs
%     DATA  double Nx-by-Ny-by-L (one frame) or Nx-by-Ny-by-Nf-by-L (Nf
%           frames of L coils). The one-input form needs complex data and
%           refuses real data with a message on standard error; the
%           two-input form takes real data with zero imaginary parts. A
%           four-dimensional array with one coil arrives as three
%           dimensions (its trailing 1 is dropped) and is read as Nf coils
%           of one frame. 4*Nx*Ny*L must not exceed 2^31-1.
%     WTS   double, at least L*Nf values, complex or real (zero imaginary
%           parts).
%
%   Outputs
%     IMG   complex double Nx-by-Ny (one frame) or Nx-by-Ny-by-Nf.
%     WTS   complex double L-by-Nf (one input) or the given weights.
%
%   A coil image that is zero everywhere in a frame gets weight 0 in that
%   frame; a frame whose images are all zero gets zero weights (and later
%   frames are then not aligned to it when it is the first). A frame whose
%   singular vector cannot be found (NaN data, memory) gets zero weights;
%   the reason appears on standard error. Nothing is printed on success.
%   A rejected input prints a message naming it and returns no output.
%
%   Example
%     % coil images of a dynamic series, 128-by-128, 30 frames, 8 coils
%     [img, w] = coilmerge(coils);          % coils: 128x128x30x8 complex
%     img2 = coilmerge(other_coils, w);      % same weights, other scan
%     imagesc(abs(img(:, :, 1))); axis image
%
%   See also COILSENS, GRAPPA.
