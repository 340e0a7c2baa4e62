// The script reader: the input is the whole script file.
#include "frame/kpscript.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vtfuzz::reset();
  KPSCRIPT::SCRIPTFILE.opentext(vtfuzz::text(data, size), "vt-fuzz.txt");
  vtfuzz::run([] { KPSCRIPT::READCONTROLTC(); });
  KPSCRIPT::SCRIPTFILE.close();
  return 0;
}
