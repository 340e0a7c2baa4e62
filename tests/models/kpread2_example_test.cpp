// The bundled example a-x file, read through SETUPPHASES from disk with the
// end-member names of the example dataset.
#include <filesystem>

#include "models/ax_support.h"

using namespace KPGLOBAL;

TEST_F(AxTest, ExampleFileReadsAgainstTheExampleDataset) {
  // End-members of the example dataset vt-ds3x.txt that the file uses.
  std::ifstream local(std::string(VT_SOURCE_DIR) + "/examples/ax/vt-simple.txt");
  ASSERT_TRUE(local.good());
  const char* names[] = {"q", "ky", "sill", "and", "ru", "py", "alm", "gr", "an", "ab", "H2O", "CO2"};
  NTP = 0;
  for (const char* n : names) PHNAMES[++NTP] = n;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(std::string(VT_SOURCE_DIR) + "/examples/ax");
  IO::CONTROLIO.axfile = "simple";
  IO::SCRIPTFILENAME = "vt-script.txt";
  WHEN1 = "test dataset";
  KPREAD2::SETUPPHASES();
  std::filesystem::current_path(old);
  EXPECT_EQ(IO::AXFILENAME, "vt-simple.txt");
  EXPECT_EQ(HEAD3, "with axfile vt-simple.txt and scriptfile vt-script.txt");
  EXPECT_EQ(HEAD2, "using test dataset");
  EXPECT_NE(screen.str().find(std::string(60, '^') + "\n\n"), std::string::npos);
  EXPECT_NE(screen.str().find("reading ax: q ky sill and ru g pl fluid \n"), std::string::npos) << screen.str();
  EXPECT_EQ(NP0, 5);
  EXPECT_EQ(NPSS, 3);
  const ptype1& fl = ss(3);
  EXPECT_TRUE(fl.isfluid);
  EXPECT_EQ(fl.ih2o, 1);
  EXPECT_EQ(fl.ico2, 2);
  EXPECT_EQ(fl.em[2].ifluid, 2);
  EXPECT_EQ(ss(2).mixtype, axtype::symmetric);
  EXPECT_EQ(FLUIDNAME[5], "H2");
  EXPECT_EQ(AIJ(2, 1), 10.5L);
  EXPECT_FALSE(IO::DATAOPEN);
}
