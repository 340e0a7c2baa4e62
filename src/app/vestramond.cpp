#include "app/vestramond.h"

#include <chrono>
#include <exception>

#include "frame/io.h"
#include "frame/io_prefs.h"
#include "frame/kpscript.h"
#include "frame/kpute1.h"

#include "lsq/lsqds.h"
#include "models/kpread1.h"
#include "reactions/kpavpt.h"
#include "reactions/kpptx.h"
#include "reactions/kpread1_diagram.h"
#include "reactions/kpread1_rock.h"
#include "reactions/kpread1_tables.h"

namespace VESTRAMOND {

using namespace KPGLOBAL;

calcmodetype GETCALCMODE() {
  IO::PUTSTR(1, "calculation mode :", 1, 9);
  IO::PUTSTR(0, "   0 : tables of end-member properties, reactions and fluid fugacities", 1, 9);
  IO::PUTSTR(0, "   1 : phase equilibria with solid solutions (pseudosections, isopleths)", 1, 9);
  IO::PUTSTR(0, "   2 : average P-T of a rock", 1, 9);
  IO::PUTSTR(0, "   3 : phase diagrams of the reactions among end-members", 1, 9);
  IO::PUTSTR(0, "   4 : lists of the end-members in a chemical system", 1, 9);
  std::string prompt = "control code ";
  for (;;) {
    sstring w;
    IO::PROMPTSTRING(prompt, w);
    if (w == "lsqds") return calcmodetype::lsqdscalc;
    if (w.size() == 1 && w[0] >= '0' && w[0] <= '4') return static_cast<calcmodetype>(w[0] - '0');
    // Mode 5 is not chosen by its number at this menu: the refusal says how it is.
    prompt = w.empty() ? "control code " : "not a calculation mode (0 to 4, or lsqds for 5): replace with";
  }
}

std::string MORETEXT(calcmodetype mode) {
  switch (mode) {
    case calcmodetype::tablecalc: return "more tables";
    case calcmodetype::nlecalc: return "more phase equilibrium calculations";
    case calcmodetype::rockcalc: return "more rock calculations";
    case calcmodetype::phasecalc: return "more phase diagram calculations";
    case calcmodetype::makelist: return "more lists";
    case calcmodetype::lsqdscalc: return "more least squares";
  }
  return "more calculations";
}

void OPENFILES() {
  sstring suffix = IO::CONTROLIO.scriptfile;
  if (CALCMODE == calcmodetype::lsqdscalc) {
    // The least-squares run: script ds-scr<suffix>.txt, results, intermediate
    // results and csv named after the same suffix.
    IO::SCRIPTFILENAME = IO::PROMPTDATAFILE("ds-scr", suffix, "script", KPSCRIPT::SCRIPTFILE);
    IO::DATAFILENAMESUFFIX = suffix;
    IO::OPENOUTPUT(IO::chresults, "ds-o" + suffix + ".txt");
    IO::OPENOUTPUT(IO::chic, "ds-ic" + suffix + ".txt");
    IO::OPENOUTPUT(IO::chcsv, "ds-" + suffix + ".csv");
    return;
  }
  IO::SCRIPTFILENAME = IO::PROMPTDATAFILE("vt-", suffix, "script", KPSCRIPT::SCRIPTFILE);
  IO::DATAFILENAMESUFFIX = suffix;
  const std::string stem = "vt-" + suffix;
  IO::OPENOUTPUT(IO::chresults, stem + "-o.txt");
  IO::OPENOUTPUT(IO::chic, stem + "-ic.txt");
  IO::OPENOUTPUT(IO::chit, stem + "-it.txt");
  IO::OPENOUTPUT(IO::chdraw, stem + "-sk.txt");
  IO::OPENOUTPUT(IO::chcsv, stem + ".csv");
  IO::OPENOUTPUT(IO::chcsv2, stem + "2.csv");
}

namespace {

// One run of the mode's driver; false when the mode cannot run (nothing more
// to ask).
bool DORUN(calcmodetype mode) {
  switch (mode) {
    case calcmodetype::tablecalc:
      KPREAD1::DOTABLE();
      return true;
    case calcmodetype::makelist:
      KPREAD1::DOMAKELIST();
      return true;
    case calcmodetype::lsqdscalc:
      LSQDS::DOLSQDS();
      return true;
    case calcmodetype::rockcalc:
      KPREAD1::READROCKDATA();
      KPAVPT::ROCKCALCS().run();
      return true;
    case calcmodetype::phasecalc:
      KPREAD1::READDIAGRAMDATA();
      KPPTX::PHASEDIAGRAMCALCS();
      return true;
    default:
      break;
  }
  IO::PUTSTR(1, "calculation mode " + IO::INT2STR(static_cast<int>(mode)) + " is not available in this version", 1,
             13);
  return false;
}

void SHUTDOWN(std::chrono::steady_clock::time_point start) {
  KPUTE1::CLEANUP();
  if (CALCMODE == calcmodetype::lsqdscalc) LSQDS::DSCLEANUP();
  if (VOVUVUVED.batch == controlboolean::yes || DOGMIN) {
    const std::chrono::duration<double> secs = std::chrono::steady_clock::now() - start;
    IO::PUTSTR(1, "elapsed = " + IO::REAL2STR(secs.count(), 1, true), 1, 9);
  }
}

}  // namespace

void SETUP() {
  KPUTE1::SETUP();
  KPREAD1::SETUPCOMPONENTTABLE();  // the 19 oxide components
}

int RUN() {
  const auto start = std::chrono::steady_clock::now();
  try {
    IO::INITIO();
    IO::PUTSTR(0, IO::CONTROLIO.name, 1, 1);
    IO::READPREFS();
    IO::OPENOUTPUT(IO::chlog, "vt-log.txt");
    IO::PUTSTR(0, "[display/print with fixed width font (eg Monaco)]", 2, 8);

    const smallint code = IO::CONTROLIO.calcmode;
    CALCMODE = code >= 0 && code <= 5 ? static_cast<calcmodetype>(code) : GETCALCMODE();

    SETUP();
    if (CALCMODE == calcmodetype::lsqdscalc) {
      // The mode's own tables and options come before its files; its driver
      // reads the script itself.
      LSQDS::INTRO();
      OPENFILES();
    } else {
      OPENFILES();
      KPSCRIPT::READCONTROLTC();
    }

    MAINLOOP = 1;
    for (;;) {
      // Each run starts afresh. End-members excluded by the previous run
      // (rock exclusions, Schreinemakers pruning) and its activity axis are
      // dropped before the new run's set-up looks any position up: the
      // look-up skips excluded end-members, and the old numbers would hide
      // whichever end-members of this run carry them.
      DIAGRAMMODE = diagramtype::ptcalc;
      NEX = NEX1 = 0;
      NLNA = 0;
      LNAPOS = 0;
      const bool ran = DORUN(CALCMODE);
      IO::FLUSHALL();
      if (!ran || CALCMODE == calcmodetype::lsqdscalc) break;
      if (VOVUVUVED.autoexit || IO::CONTROLIO.autoexit) break;
      if (!IO::QUERY(MORETEXT(CALCMODE))) break;
      MAINLOOP++;
    }
    SHUTDOWN(start);
    IO::CLOSEOUTPUT();
    return 0;
  } catch (const IO::RunEnded& e) {
    KPUTE1::CLEANUP();
    IO::CLOSEOUTPUT();
    return e.status;
  } catch (const std::exception& e) {
    // A fault that escaped every check: report it and end as a fatal error.
    try {
      IO::PUTSTR(1, std::string("-- run bombed in vestramond : internal error: ") + e.what(), 2, 29);
    } catch (...) {
    }
    KPUTE1::CLEANUP();
    IO::CLOSEOUTPUT();
    return 1;
  }
}

}  // namespace VESTRAMOND
