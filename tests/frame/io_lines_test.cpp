// Lines meant for other programs: written whole when they fit, broken after a
// comma or before a blank when they do not, with every character kept; and
// the direct fixed-point fields of parsed files.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "frame/io.h"
#include "support/vt_state.h"

using IOLines = vtest::StateTest;

TEST_F(IOLines, LongLinesAreWrappedWithNothingLost) {
  IO::PUTWRAPPED(1, std::string(250, 'x'), 2, 1);
  EXPECT_EQ(screen.str(), "\n" + std::string(250, 'x') + "\n\n");

  // Fields of 9 characters separated by commas: broken after the last comma
  // within 250 characters.
  std::string line = "{";
  for (int i = 1; i <= 60; ++i) line += IO::FIXEDFIELD(i * 1.5L, 8, 2) + (i < 60 ? "," : "};");
  screen.str("");
  IO::PUTWRAPPED(0, line, 1, 1);
  std::istringstream in(screen.str());
  std::string chunk, joined;
  int chunks = 0;
  while (std::getline(in, chunk)) {
    EXPECT_LE(chunk.size(), 250u);
    EXPECT_TRUE(chunk.back() == ',' || chunk.back() == ';') << chunk;
    joined += chunk;
    ++chunks;
  }
  EXPECT_EQ(chunks, 3);
  EXPECT_EQ(joined, line);

  // Right-justified fields without commas: broken before a field's blanks.
  line.clear();
  for (int i = 1; i <= 30; ++i) line += IO::FIXEDFIELD(-1000 - i, 12, 4);
  screen.str("");
  IO::PUTWRAPPED(0, line, 1, 1);
  const std::string s = screen.str();
  const std::size_t cut = s.find('\n');
  EXPECT_EQ(cut, 240u);  // twenty whole fields
  EXPECT_EQ(s.substr(0, cut) + s.substr(cut + 1, s.size() - cut - 2), line);
}

TEST_F(IOLines, FixedFields) {
  EXPECT_EQ(IO::FIXEDFIELD(-0.000000642L, 15, 9), "   -0.000000642");
  EXPECT_EQ(IO::FIXEDFIELD(0, 11, 5), "    0.00000");
  EXPECT_EQ(IO::FIXEDFIELD(-123456.5L, 6, 2), "-123456.50");  // wider than its field
  EXPECT_EQ(IO::FIXEDFIELD(-2.5e7L, 17, 8), "-25000000.00000000");
}
