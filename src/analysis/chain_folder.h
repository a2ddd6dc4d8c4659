// The folder of one chain among several of the same fit (scripts/run_chains.sh,
// scripts/slurm_chains.sh): the fit's parameter file, read as a plain run reads
// it, written again into the chain's own folder under its own name, so that the
// chain runs there without a copy of the data:
//   - every data and resolution file is named by its path from the chain's
//     folder (a file in a subfolder, behind a link or beside the fit's folder is
//     read where it is);
//   - every file the run writes (result, output, chi-square and contour files)
//     stays inside the chain's folder, whose subfolders are made as needed; a
//     name outside it (absolute, or through "..") would be written by every
//     chain at once, and is refused;
//   - optionally a dispersed start for the free parameters (below).
//
// Why dispersed starts. R-hat compares the chains with each other: it sees a
// mode that some chains visit and others do not, never one that no chain
// reaches. Chains started at one point explore the same neighbourhood first
// and agree with each other even when the posterior has another mode (a label
// switch, a second minimum); chains started apart are the only way R-hat can
// see it.
//   random  each free parameter (step ≠ 0) uniform between its limits, or
//           uniform in ln|p| for step kinds l and al when both limits are
//           positive (the scale those kinds step in);
//   jitter  the start value moved by up to three of its own steps, in the
//           parameter's own step kind, and kept inside the limits.
// Equality groups take their master's value as at reading; a draw that breaks
// an order relation is drawn again.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"

namespace zorvik {

enum class StartPoint { Same, Random, Jitter };

// The free parameters' start values drawn anew from the generator seeded with
// `seed` (Same: left as they are). Throws FatalError naming the parameter when
// its limits leave no room, or when no draw meets the order relations.
void disperse_start(FitParameters& p, StartPoint how, unsigned long long seed);

// Reads `parfile` in the current folder as a run reads it (its echo into `con`;
// a pini.par of the current folder is left as it was), creates `folder` (it
// must not exist yet) and writes the chain's parameter file into it, named like
// `parfile` without its folders. Returns the path of the chain.dat that a run of
// it with --seed writes, as seen from the current folder.
std::string prepare_chain_folder(const std::string& parfile, const std::string& folder, StartPoint how,
                                 unsigned long long seed, Console& con);

}  // namespace zorvik
