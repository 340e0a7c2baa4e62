// Independent arithmetic and text picking the tests check the program
// against: a bisection root, a Gauss-Jordan inverse, and the words of the
// line of printed output that starts with a given text.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vtest {

using dmat = std::vector<std::vector<long double>>;

// Bisection of f on [a, b] (a sign change) until the bracket is within tol.
inline long double bisect(const std::function<long double(long double)>& f, long double a, long double b,
                          long double tol) {
  long double fa = f(a);
  while (b - a > tol) {
    const long double c = (a + b) / 2, fc = f(c);
    if ((fa <= 0) == (fc <= 0))
      a = c, fa = fc;
    else
      b = c;
  }
  return (a + b) / 2;
}

// Inverse by Gauss-Jordan with partial pivoting.
inline dmat inverse(dmat a) {
  const std::size_t n = a.size();
  dmat b(n, std::vector<long double>(n, 0));
  for (std::size_t i = 0; i < n; ++i) b[i][i] = 1;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    std::swap(a[c], a[p]);
    std::swap(b[c], b[p]);
    const long double d = a[c][c];
    for (std::size_t j = 0; j < n; ++j) a[c][j] /= d, b[c][j] /= d;
    for (std::size_t r = 0; r < n; ++r) {
      if (r == c) continue;
      const long double f = a[r][c];
      for (std::size_t j = 0; j < n; ++j) a[r][j] -= f * a[c][j], b[r][j] -= f * b[c][j];
    }
  }
  return b;
}

// The words of a line.
inline std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// The first line of text that starts with start (after blanks), "" when none.
inline std::string lineof(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    const auto p = l.find_first_not_of(' ');
    if (p != std::string::npos && l.compare(p, start.size(), start) == 0) return l;
  }
  return "";
}

}  // namespace vtest
