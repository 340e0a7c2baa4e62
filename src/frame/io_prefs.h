// IO: the preferences file of an invocation.
#pragma once

#include <string>

namespace IO {

// Reads "vt-prefs.txt", or "ds-prefs.txt" when that is missing, into
// CONTROLIO (calcmode, dsfile, scriptfile, dontwrap, monitorheap, pagewidth,
// autoexit). Without either file the defaults stay. Returns the name of the
// file read, empty when none.
std::string READPREFS();

}  // namespace IO
