// Test helper for the a-x reader: fresh IO, run settings and phase records,
// a small dataset name list, and readers for a-x texts and files.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpscript.h"
#include "models/kpread2.h"

class AxTest : public ::testing::Test {
 protected:
  std::ostringstream screen;
  std::istringstream keyboard;

  void SetUp() override {
    IO::INITIO();
    IO::SCREEN = &screen;
    IO::KEYBOARD = &keyboard;
    IO::CONTROLIO.autoexit = true;
    KPSCRIPT::DEFAULTCONTROL();
    KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::nlecalc;
    KPGLOBAL::WITHDS4X = true;
    const char* names[] = {"q",   "ru",  "cor", "sp",   "herc", "fo",  "py",  "alm", "gr",  "an",
                           "ab",  "en",  "fs",  "H2O",  "CO2",  "O2",  "Ca++", "CO3--", "Na+", "Cl-",
                           "H+",  "di",  "hed", "ky",  "CH4"};
    KPGLOBAL::NTP = 0;
    for (const char* n : names) KPGLOBAL::PHNAMES[++KPGLOBAL::NTP] = n;
    IO::PDATAFILENAME = "vt-dstest.txt";
    KPREAD2::RESETPHASES();
  }
  void TearDown() override {
    IO::DATA.close();
    IO::SCREEN = &std::cout;
    IO::KEYBOARD = &std::cin;
  }
  void answers(const std::string& s) {
    keyboard.clear();
    keyboard.str(s);
  }
  static std::string filetext(const std::string& name) {
    std::ifstream f(std::string(VT_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
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
  void readfile(const std::string& name) { read(filetext(name)); }
  // Runs f, which must end the run; returns the RunEnded it threw.
  template <typename F>
  IO::RunEnded ends(F f) {
    try {
      f();
    } catch (const IO::RunEnded& e) {
      return e;
    }
    ADD_FAILURE() << "the run did not end";
    return {};
  }
  static KPGLOBAL::ptype1& ss(int i) { return (*KPGLOBAL::PREC1)[i]; }
  static KPGLOBAL::ptype0& pure(int i) { return (*KPGLOBAL::PREC0)[i]; }
};
