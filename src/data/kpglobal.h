// The shared data module: types, limits and module-level state of every subsystem.
#pragma once

#include "data/kpglobal_base.h"
#include "data/kpglobal_run.h"
#include "data/kpglobal_models.h"
#include "data/kpglobal_phases.h"
#include "data/kpglobal_lsq.h"
#include "data/kpglobal_solver.h"
#include "data/kpglobal_reactions.h"
#include "data/kpglobal_uncert.h"
