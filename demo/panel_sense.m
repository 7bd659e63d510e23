function s = panel_sense(p, out)
% sense at R = 4 with the true coil maps, on k-space with a little noise:
% the folded coil images beside the unfolded image
  [M, N, L] = size(p.k);
  R = 4;
  randn('seed', 7);
  sigma = 1e-4 * max(abs(p.k(:)));
  k = p.k + sigma * complex(randn(M, N, L), randn(M, N, L));
  z = zeros(M, N, L);
  z(:, 1:R:end, :) = k(:, 1:R:end, :);
  folded = zeros(M, N, L);
  for c = 1:L
    folded(:, :, c) = ifft2(ifftshift(z(:, :, c))) * R;
  end
  evalc('img = sense(p.maps, folded, R);');   % quiet: it prints its settings
  demo_png(fullfile(out, 'sense_folded.png'), sqrt(sum(abs(folded).^2, 3)));
  demo_png(fullfile(out, 'sense_unfolded.png'), img);
  e = norm(img(:) - p.img(:)) / norm(p.img(:));
  s = sprintf('sense R=%d nrmse %.3f', R, e);
end
