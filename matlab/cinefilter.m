%CINEFILTER  Recursive (IIR) temporal filter over the frames of a series.
%   KF = CINEFILTER(K, B, A) runs the recursive filter with feed-forward
%   coefficients B and feedback coefficients A along the frames of K, frame
%   by frame from a zero filter state, as a real-time reconstruction
%   would. Every pixel's time course is filtered alike, in direct form II:
%
%     w(n) = k(n) - sum_{j>=2} A(j)/A(1) * w(n-j+1)
%     kf(n) = sum_{j>=1} B(j) * w(n-j+1)
%
%   B is not divided by A(1), so KF = A(1) * FILTER(B, A, K, [], 3) and
%   KF = FILTER(B, A / A(1), K, [], 3).
%
%   Inputs
%     K   complex double D0-by-D1-by-T; for 4- and 5-dimensional K every
%         dimension after the second counts as frames, in storage order
%         (D0-by-D1-by-T1-by-T2 is one series of T1*T2 frames), and a
%         2-dimensional K is one frame. Real arrays and arrays of more
%         than 5 dimensions are refused.
%     B   real double vector (n-by-1 or 1-by-n, at most 2 dimensions, not
%         empty): its length is the larger of its two sizes and that many
%         values are taken in storage order.
%     A   real double vector, read as B. A(1) = 0 is refused: the feedback
%         is normalised by A(1), and the module does not divide by zero.
%     The shorter coefficient list is padded with zeros.
%
%   Output
%     KF  complex double of the size of K, the filtered series. Only one
%         output exists; asking for two is refused.
%
%   A rejected input prints a message naming it and returns no output.
%
%   Example
%     % a first-order low-pass: kf(n) = 0.1 w(n), w(n) = k(n) + 0.9 w(n-1)
%     kf = cinefilter(k, 0.1, [1 -0.9]);
%     % a three-frame running sum
%     kf = cinefilter(k, [1 1 1], 1);
%
%   See also FILTER, UNFOLD.
