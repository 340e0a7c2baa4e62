// The preferences file: the input is the whole of vt-prefs.txt.
#include "frame/io_prefs.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vtfuzz::enterfolder("vt-fuzz-prefs");
  vtfuzz::reset();
  vtfuzz::writefile("vt-prefs.txt", vtfuzz::text(data, size));
  vtfuzz::run([] { IO::READPREFS(); });
  return 0;
}
