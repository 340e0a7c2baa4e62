// The preferences file: one keyword a line, an optional "yes"/"no"/"ask"
// word, then the value; "%" starts a comment, a line whose first word begins
// with "*" ends the file. Keywords of other programs' options (the
// least-squares options share the file name "ds-prefs.txt") are passed over.
#include "frame/io_prefs.h"

#include "frame/io.h"

namespace IO {

std::string READPREFS() {
  textfile f;
  std::string name = "vt-prefs.txt";
  if (!f.open(name)) {
    name = "ds-prefs.txt";
    if (!f.open(name)) return "";
  }
  KPGLOBAL::strings w;
  smallint n = 0;
  while (!f.eof()) {
    const std::string where = " (line " + std::to_string(f.line()) + " of " + name + ")";
    READSTRINGS(f, w, n, true);
    if (n == 0) continue;
    if (!w[1].empty() && w[1][0] == '*') break;
    const std::string& k = w[1];
    bool on = true;
    int v = 2;  // position of the value
    if (n >= 2 && (w[2] == "yes" || w[2] == "no" || w[2] == "ask")) {
      on = w[2] != "no";
      v = 3;
    }
    const bool hasvalue = n >= v;
    if (k == "calcmode") {
      if (!on || !hasvalue) continue;
      if (w[v] == "lsqds") {
        CONTROLIO.calcmode = 5;
      } else {
        const smallint m = GETINTEGER(WHATISSTRING(w[v]), w[v], "calcmode" + where);
        // 9 is the least-squares mode's number in the preferences.
        if ((m < 0 || m > 4) && m != 9)
          ERROREXIT("readprefs", "calcmode must be 0 to 4, 9 or lsqds" + where, faulttype::yourfault);
        CONTROLIO.calcmode = m == 9 ? 5 : m;
      }
    } else if (k == "dsfile" || k == "dataset") {
      if (on && hasvalue) CONTROLIO.dsfile = w[v];
    } else if (k == "scriptfile" || k == "datafile") {
      if (on && hasvalue) CONTROLIO.scriptfile = w[v];
    } else if (k == "dontwrap") {
      CONTROLIO.dontwrap = on;
    } else if (k == "monitorheap") {
      CONTROLIO.monitorheap = on;
    } else if (k == "autoexit") {
      CONTROLIO.autoexit = on;
    } else if (k == "setpagewidth") {
      if (!on || !hasvalue) continue;
      const smallint width = GETINTEGER(WHATISSTRING(w[v]), w[v], "setpagewidth" + where);
      if (width < 10) ERROREXIT("readprefs", "page width must be at least 10" + where, faulttype::yourfault);
      CONTROLIO.pagewidth = width;
    }
  }
  f.close();
  return name;
}

}  // namespace IO
