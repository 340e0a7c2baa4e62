// VESTRAMOND: thermodynamic calculations for metamorphic petrology.
#include "frame/vestramond.h"

int main() { return VESTRAMOND::RUN(); }
