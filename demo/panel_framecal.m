function s = panel_framecal(p, out)
% framecal on an even/odd EPI frame pair whose alternate lines carry a
% readout phase slope and a constant phase, beside the ghosted odd frame
  [M, N, L] = size(p.coil);
  P = exp(1i * ((0.04 * ((0:M-1)' - M/2) + 0.8) * ones(1, N)));
  ev = zeros(M, N, L); od = ev;
  for c = 1:L
    k0 = fftshift(fft2(fftshift(p.coil(:, :, c))));
    k1 = fftshift(fft2(fftshift(p.coil(:, :, c) .* P)));
    ev(:, 1:2:end, c) = k0(:, 1:2:end); ev(:, 2:2:end, c) = k1(:, 2:2:end);
    od(:, 1:2:end, c) = k1(:, 1:2:end); od(:, 2:2:end, c) = k0(:, 2:2:end);
  end
  ghosted = zeros(M, N);
  for c = 1:L
    ghosted += abs(fftshift(ifft2(fftshift(od(:, :, c))))).^2;
  end
  img = framecal(ev, od);
  rss = sqrt(sum(abs(img).^2, 4));
  demo_png(fullfile(out, 'framecal_odd_frame.png'), sqrt(ghosted));
  demo_png(fullfile(out, 'framecal_rss.png'), rss);
  e = norm(rss(:) - p.rss(:)) / norm(p.rss(:));
  g = norm(sqrt(ghosted(:)) - p.rss(:)) / norm(p.rss(:));
  s = sprintf('framecal nrmse %.3f (odd frame as acquired %.3f)', e, g);
end
