// KPUTE2: combination enumerator and name look-ups.
#include "frame/kpute2.h"

#include "frame/io.h"

namespace KPUTE2 {

void SETUPCHOOSE(KPGLOBAL::iemvector& list, smallint k) {
  for (int i = 1; i <= KPGLOBAL::emmax; ++i) list[i] = -1;
  if (k < 1 || k > KPGLOBAL::emmax) return;
  for (int i = 1; i < k; ++i) list[i] = static_cast<smallint>(i);
  list[k] = static_cast<smallint>(k - 1);
}

void CHOOSE(KPGLOBAL::iemvector& list, smallint k, smallint n, bool& more) {
  more = false;
  if (k < 1 || k > n || k > KPGLOBAL::emmax) return;
  // Increase the last entry; when it passes n, increase the rightmost entry
  // that can still grow (entry i can reach n - k + i) and reset the ones after
  // it to consecutive values.
  ++list[k];
  if (list[k] <= n) {
    more = true;
    return;
  }
  int i = k - 1;
  while (i >= 1 && list[i] >= n - k + i) --i;
  if (i < 1) return;
  ++list[i];
  for (int j = i + 1; j <= k; ++j) list[j] = static_cast<smallint>(list[j - 1] + 1);
  more = true;
}

namespace {
smallint findname(const sstring& name, const sstring* list, int n) {
  for (int i = 0; i < n; ++i)
    if (list[i] == name) return static_cast<smallint>(i + 1);
  return 0;
}
}  // namespace

bool NAMEINLIST(sstring& name, const sstring* list, int capacity, bool quiet, smallint& pos) {
  int n = KPGLOBAL::NPSS + KPGLOBAL::NP0;
  if (n > capacity) n = capacity;
  if (n < 0) n = 0;
  pos = findname(name, list, n);
  if (pos > 0 || quiet) return pos > 0;
  KPGLOBAL::strings words;
  smallint nw = 0;
  IO::PROMPTSTRINGS("unrecognised name : replace \"" + name + "\" with", words, nw);
  if (nw == 0) return false;
  // The words are cut at 22 characters: measure the answer as typed.
  const std::string raw = IO::TRIMSTRING(IO::LASTANSWER);
  std::size_t len = 0;
  while (len < raw.size() && raw[len] != ' ' && raw[len] != '\t' && raw[len] != IO::NBSP) ++len;
  if (len > static_cast<std::size_t>(KPGLOBAL::sstringmax)) {
    IO::PUTSTR(0, " name too long: name ignored", 1, 9);
    return false;
  }
  name = words[1];
  pos = findname(name, list, n);
  if (pos > 0) return true;
  IO::PUTSTR(0, " still a bad name: name ignored", 1, 9);
  return false;
}

smallint POSI(const sstring& name) {
  smallint pos = 0;
  const int ncv = KPGLOBAL::NCV > KPGLOBAL::emmax ? KPGLOBAL::emmax : KPGLOBAL::NCV;
  for (int i = 1; i <= ncv; ++i) {
    if (KPGLOBAL::NAME[i] == name) {
      pos = static_cast<smallint>(i);
      break;
    }
  }
  if (pos == 0) return 0;
  for (int e = 1; e <= KPGLOBAL::NEX1 && e <= KPGLOBAL::emmax; ++e)
    if (KPGLOBAL::EXEM[e] == pos) return 0;
  return pos;
}

void POSITIONS() {
  KPGLOBAL::CO2POS = POSI("CO2");
  KPGLOBAL::H2OPOS = POSI("H2O");
  KPGLOBAL::CRDPOS = POSI("crd");
  KPGLOBAL::FCRDPOS = POSI("fcrd");
  if (KPGLOBAL::NLNA >= 1) KPGLOBAL::LNAPOS = POSI(KPGLOBAL::LNANAME[1]);
}

}  // namespace KPUTE2
