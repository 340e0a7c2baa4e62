// Shared set-up of the libFuzzer targets of the readers. Each target feeds
// one input as the whole of one file to one reader; a clean fatal stop
// (IO::RunEnded) is a correct answer to bad input, anything else that ends
// the process (a crash, a sanitizer report, an uncaught exception such as an
// index out of range) is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "support/vt_reset.h"

namespace vtfuzz {

// The screen writes nowhere; the keyboard answers every question "n" (the
// reader's only question is whether a 1 after a pure phase is its activity)
// and then runs dry, which stops the run cleanly.
inline std::ostream& nowhere() {
  static std::ostream out(nullptr);
  return out;
}

// The state as at program start, without the heap tables (each target makes
// the ones its reader needs: zeroing all of them for every input would take
// most of the time).
inline void reset() {
  static std::istringstream keyboard;
  keyboard.clear();
  keyboard.str("n\ny\nn\ny\n");
  vtest::resetstate(nowhere(), keyboard, vtest::tables::none);
}

inline std::string text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// A working folder of the target's own for readers that open files by name
// (libFuzzer must then be given absolute paths).
inline void enterfolder(const std::string& name) {
  static bool entered = false;
  if (entered) return;
  const auto dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  entered = true;
}

inline void writefile(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
}

// Runs one reader; a clean fatal stop counts as correct.
template <typename F>
void run(F&& f) {
  try {
    f();
  } catch (const IO::RunEnded&) {
  }
}

}  // namespace vtfuzz
