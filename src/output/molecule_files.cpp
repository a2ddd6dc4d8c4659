// The molecule-geometry writers: the distances of the fitted molecule (on the
// console and in "d.dat") and the molecule itself as XYZ files for a viewer.
//
// showd and the end of a run (WriteMode::molecules) write everything; showmol
// (WriteMode::molecule_views) only the XYZ files the viewer opens. Only the model numbers of
// data sets 1 and 2 (the structure factor and the radial distribution) count.
#include <cmath>
#include <string>

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "models/molecular.h"
#include "output/result_files.h"

namespace zorvik {

namespace {

// The distances of C2F2Cl4 (model 1) in the order of its distance file.
constexpr const char* kFreon11Order[] = {"dcl1cl2", "df1f2",  "dc0c5",  "dc0cl1", "dcl1c5",  "dc5f1",
                                         "dc0f1",   "dc0cl0", "dcl0c5", "dc5cl5", "dc0cl5",  "df1cl5",
                                         "dcl0cl1", "dcl0f1", "dcl1f1", "dcl1cl5", "dcl1f2", "dcl0cl5"};

double atom_distance(const Structure& s, const PairTerm& t) {
  const Atom& a = s.atoms[t.a];
  const Atom& b = s.atoms[t.b];
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// One XYZ file: the atom count, a comment line, then element and coordinates (Å).
void write_xyz(const std::string& path, const Structure& s, int first, int count) {
  AtomicFile file(path);
  std::ostream& out = file.stream();
  out << free_record({count}) << '\n' << "    0.000000" << '\n';
  for (int k = first; k < first + count; ++k) {
    const Atom& a = s.atoms[k];
    out << free_record({a.element, a.x, a.y, a.z}) << '\n';
  }
  file.commit();
}

// The pair table on the console and the distance file: for every term its
// type, weight, distance, width (l) and the distance of the two placed atoms
// it stands for (dis-ab, equal to dist for a consistent molecule).
void write_distances(int model, const Structure& s, const Run& run, Console& con) {
  con.record("(a6,4a12)", "term", "weight", "dist", "l", "dis-ab");
  for (int k = 0; k < s.npairs; ++k) {
    const PairTerm& t = s.pairs[k];
    con.record("(a6,4f12.6)", t.kind, t.w, t.r, t.sigma, atom_distance(s, t));
  }
  std::string text;
  auto add = [&text](const std::string& name, const PairTerm& t) {
    text += free_record({name, t.r, t.sigma});
    text += '\n';
  };
  if (model == 1) {
    for (const char* name : kFreon11Order)
      for (int k = 0; k < s.npairs; ++k)
        if (name == std::string(s.pairs[k].name)) add(name, s.pairs[k]);
  } else {
    // Model 2 lists the trans conformer's terms, then the gauche one's.
    const int per = s.npairs / s.conformers;
    for (int k = 0; k < s.npairs; ++k)
      add(std::string(s.pairs[k].name) + (s.conformers == 1 ? "" : k < per ? "_t" : "_g"), s.pairs[k]);
  }
  AtomicFile file(distances_path(run.settings.folder));
  file.stream() << text;
  file.commit();
}

void write_molecule(int model, WriteMode writemode, const Run& run, Console& con) {
  Structure s;
  build_structure(model, run.params.par.base(), s);
  if (writemode == WriteMode::molecules) write_distances(model, s, run, con);
  if (s.conformers == 2) {
    write_xyz(kTransFile, s, 0, s.atoms_per_conformer);
    write_xyz(kGaucheFile, s, s.atoms_per_conformer, s.atoms_per_conformer);
  } else {
    write_xyz(kMoleculeFile, s, 0, s.natoms);
  }
}

}  // namespace

void write_molecules(WriteMode writemode, const Run& run, Console& con) {
  const int m1 = run.data.opfit(1), m2 = run.data.opfit(2);
  auto uses = [&](int m) { return m1 == m || m2 == m; };
  const bool freon = uses(1) || uses(2) || uses(3);
  if (uses(1)) write_molecule(1, writemode, run, con);
  if (uses(2)) write_molecule(2, writemode, run, con);
  if (uses(3)) con.pause("pelotudo");
  // CCl4 and the dichloroethylenes have writers of their own, used when no
  // C2F2Cl4 model is in the fit.
  if (freon) return;
  for (int m = 4; m <= 6; ++m)
    if (uses(m)) write_molecule(m, writemode, run, con);
}

}  // namespace zorvik
