function s = panel_coilsens(p, out)
% coilsens maps of the first four coils, checked against the true maps
  [M, N, L] = size(p.k);
  ky = permute(p.k, [2 1 3]);   % coilsens takes lines first
  evalc('maps = coilsens(ky, (1:N)'', [N M], 1);');   % quiet: it lists the lines
  tile = [abs(maps(:, :, 1)), abs(maps(:, :, 2)); abs(maps(:, :, 3)), abs(maps(:, :, 4))];
  demo_png(fullfile(out, 'coilsens_maps.png'), tile');
  truth = permute(p.maps ./ sqrt(sum(abs(p.maps).^2, 3)), [2 1 3]);
  inside = repmat(demo_shrink(p.img' > 0.15, 3), [1 1 L]);
  e = max(abs(abs(maps(inside)) - abs(truth(inside))));
  s = sprintf('coilsens %d maps, max magnitude error %.3f inside the object', L, e);
end
