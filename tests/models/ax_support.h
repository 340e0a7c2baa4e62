// Test helper for the a-x reader: the state reset with the run settings for
// phase equilibria, a small dataset name list, and readers for a-x texts and
// files.
#pragma once

#include <string>

#include "models/kpread2.h"
#include "support/vt_state.h"

class AxTest : public vtest::StateTest {
 protected:
  void SetUp() override {
    vtest::resetstate(screen, keyboard);
    KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::nlecalc;
    const char* names[] = {"q",   "ru",  "cor", "sp",   "herc", "fo",  "py",  "alm", "gr",  "an",
                           "ab",  "en",  "fs",  "H2O",  "CO2",  "O2",  "Ca++", "CO3--", "Na+", "Cl-",
                           "H+",  "di",  "hed", "ky",  "CH4"};
    for (const char* n : names) KPGLOBAL::PHNAMES[++KPGLOBAL::NTP] = n;
    IO::PDATAFILENAME = "vt-dstest.txt";
    KPREAD2::RESETPHASES();
  }
  // Reads an a-x text and sets its phases up, as SETUPPHASES does after
  // opening the file.
  void read(const std::string& text) {
    KPREAD2::RESETPHASES();
    IO::DATA.opentext(text, "vt-test.txt");
    IO::DATAOPEN = true;
    KPREAD2::SetupPhases r;
    r.starttokens();
    r.readphases();
    r.setupafterreading();
  }
  void readfile(const std::string& name) { read(vtest::datatext(name)); }
  static KPGLOBAL::ptype1& ss(int i) { return (*KPGLOBAL::PREC1)[i]; }
  static KPGLOBAL::ptype0& pure(int i) { return (*KPGLOBAL::PREC0)[i]; }
};
