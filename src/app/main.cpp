// VESTRAMOND: thermodynamic calculations for metamorphic petrology.
#include "app/vestramond.h"

int main() { return VESTRAMOND::RUN(); }
