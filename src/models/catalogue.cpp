#include "models/catalogue.h"

#include <cmath>

#include "core/capacity.h"
#include "models/dielectric.h"
#include "models/diffusion.h"
#include "models/molecular.h"
#include "models/lineshapes.h"
#include "models/vector_shapes.h"

namespace zorvik {

namespace {

// A per-point model run over a range of points. The model is inlined into the
// loop, so a data set costs one indirect call, not one per point. A model either
// has a value for data set i at every point or at none, so the first point
// decides.
template <auto Model>
bool batch(const ModelEnv& /*env*/, int i, const double* x, double* y, int n, const double* p) {
  for (int k = 0; k < n; ++k)
    if (!Model(i, x[k], p, y[k])) return false;
  return true;
}

// The Gaussian models with their x-independent factors computed once per call
// (the same numbers as point by point, see gauss_factors).
bool gauss_batch(const ModelEnv& /*env*/, int /*i*/, const double* __restrict x, double* __restrict y, int n, const double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = p[1], b1 = p[2], b2 = p[3];
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}

bool gaussl_batch(const ModelEnv& /*env*/, int /*i*/, const double* __restrict x, double* __restrict y, int n, const double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = std::pow(10.0, p[1]), b1 = std::pow(10.0, p[2]), b2 = std::pow(10.0, p[3]);
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}


constexpr auto kMolecular = ModelFamily::molecular;
constexpr auto kDielectric = ModelFamily::dielectric;
constexpr auto kSimple = ModelFamily::simple;

// The molecules: the scale and the geometry in both curves, the S(q)
// background p8 … p14 only in data set 1 and the g(r) background p2 … p7 only
// in data set 2.
constexpr ParamBlocks kMoleculeReads{.shared = {{1, 1}, {15, kMaxPar}}, .slot_only = {{8, 14}, {2, 7}}};

// Slots: the molecular structure factor lives in data set 1 and the radial
// distribution in data set 2 (only the latter can be convolved); the whole-curve
// dielectric models compute the spectrum of data set 1. Models with per-data-set
// parameter blocks evaluate only the data sets their blocks provide for:
// 5 (blocks of five), 9 (diffusion, rotation, stretched exponential) and 10
// (temperature-dependent dielectric models, blocks of ten).
const ModelInfo kCatalogue[] = {
    {.number = 1, .routine = "sq11/rdf11", .family = kMolecular, .plain = &molecule_batch<1>, .last_slot = 2,
     .conv_first_slot = 2, .reads = kMoleculeReads, .help = "1: FREON11"},
    {.number = 2, .routine = "sq12/rdf12", .family = kMolecular, .plain = &molecule_batch<2>, .last_slot = 2,
     .conv_first_slot = 2, .reads = kMoleculeReads, .help = "2: FREON12"},
    {.number = 3, .routine = "sqbzp/rdfbzp", .family = kMolecular, .plain = &molecule_batch<3>, .last_slot = 2,
     .conv_first_slot = 2, .reads = kMoleculeReads, .help = "3: BZP"},
    {.number = 4, .routine = "sqccl4/rdfccl4", .family = kMolecular, .plain = &molecule_batch<4>, .last_slot = 2,
     .conv_first_slot = 2, .reads = kMoleculeReads, .help = "4: CCl4"},
    {.number = 5, .routine = "sqtransh/rdftransh", .family = kMolecular, .plain = &molecule_batch<5>,
     .last_slot = 2, .conv_first_slot = 2, .reads = kMoleculeReads},
    {.number = 6, .routine = "sqtransd/rdftransd", .family = kMolecular, .plain = &molecule_batch<6>,
     .last_slot = 2, .conv_first_slot = 2, .reads = kMoleculeReads},
    // Numbers reserved for molecules that have none: the reader refuses them
    // (no routine), and the writers treat them as the molecular numbers they
    // were kept for. The result files count 1 … 10 as molecular (the RDF
    // column), the convolved radial form only 1 … 9.
    {.number = 7, .routine = "", .family = kMolecular, .plain = nullptr, .last_slot = 2, .conv_first_slot = 2,
     .reads = kMoleculeReads},
    {.number = 8, .routine = "", .family = kMolecular, .plain = nullptr, .last_slot = 2, .conv_first_slot = 2,
     .reads = kMoleculeReads},
    {.number = 9, .routine = "", .family = kMolecular, .plain = nullptr, .last_slot = 2, .conv_first_slot = 2,
     .reads = kMoleculeReads},
    {.number = 10, .routine = "", .family = kMolecular, .plain = nullptr, .last_slot = 2},

    // The whole-curve models: the loss inversion takes its step from the second
    // and third frequencies (model 52 has no inversion).
    {.number = 50, .routine = "dielimg", .family = kDielectric, .plain = &dielimg_batch<50>, .last_slot = 1,
     .whole_curve = true, .min_points = 3, .peak_script = PeakScript::none,
     .help = "50: HN+CC Williams ansatz (better NOT to use it"},
    {.number = 51, .routine = "dielimg", .family = kDielectric, .plain = &dielimg_batch<51>, .last_slot = 1,
     .whole_curve = true, .min_points = 3, .peak_script = PeakScript::none, .help = "51: HN+gauss Williams ansatz "},
    {.number = 52, .routine = "dielimg", .family = kDielectric, .plain = &dielimg_batch<52>, .last_slot = 1,
     .whole_curve = true, .min_points = 1, .peak_script = PeakScript::none, .help = "52: HN+CC"},
    {.number = 53, .routine = "hncc1cc2", .family = kDielectric, .plain = &hncc1cc2_batch,
     .peak_columns = "HN  CC1 CC2", .peak_script = PeakScript::hn_cc1_cc2},
    {.number = 54, .routine = "hncc", .family = kDielectric, .plain = &hncc_batch, .peak_columns = "HN  CC",
     .peak_script = PeakScript::hn_cc},
    // VFT and Arrhenius laws; strengths and shapes in blocks of ten.
    {.number = 55, .routine = "hncct", .family = kDielectric, .plain = &hncct_batch, .last_slot = kDielectricSets,
     .reads = {.shared = {{1, 5}}, .bases = {5, 15, 25, 35, 45}}, .peak_columns = "HN  CC",
     .peak_script = PeakScript::hn_cc},
    {.number = 56, .routine = "hncc1cc2t", .family = kDielectric, .plain = &hncc1cc2t_batch,
     .last_slot = kDielectricSets, .reads = {.shared = {{1, 5}, {76, 77}}, .bases = {5, 15, 25, 35, 45, 55, 65}},
     .peak_script = PeakScript::hn_cc1_cc2},
    {.number = 57, .routine = "plcc1cc2", .family = kDielectric, .plain = &plcc1cc2_batch,
     .peak_columns = "PL  CC1 CC2", .peak_script = PeakScript::pl_cc1_cc2},

    {.number = 100, .routine = "poli", .family = kSimple, .plain = &batch<poli>, .conv_first_slot = 1,
     .help = "100: Polynomial (9 degree)"},
    {.number = 101, .routine = "gauss", .family = kSimple, .plain = &gauss_batch, .vector = &gauss_vector,
     .conv_first_slot = 1, .help = "101: 3 Gaussian+quadratic bckg "},
    {.number = 102, .routine = "gaussl", .family = kSimple, .plain = &gaussl_batch, .vector = &gaussl_vector,
     .conv_first_slot = 1, .help = "102: 3 Gaussian+log(quadratic bckg) "},
    // Five Lorentzians read p1 … p18 and nothing else.
    {.number = 103, .routine = "lorentz", .family = kSimple, .plain = &batch<lorentz>, .conv_first_slot = 1,
     .required_npar = 18, .npar_message = "Are you sure that you are fitting lorentzians???",
     .help = "103: 5 lorentzians+quadratic bckg"},
    // Background; area, width, two Lorentzian widths, centre.
    {.number = 110, .routine = "l2", .family = kSimple, .plain = &batch<l2>, .last_slot = 5, .conv_first_slot = 1,
     .reads = {.shared = {{1, 3}}, .bases = {3, 8, 13, 18, 23}}, .help = "110: 2 norm lorentz+quadratic bckg"},
    // Background, Γ0, D; area, fraction, centre.
    {.number = 111, .routine = "dif", .family = kSimple, .plain = &dif_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .reads = {.shared = {{1, 5}}, .bases = {5, 14, 23}}, .help = "111: diffusion"},
    // Background, R, Dr, D, τ, β; area, centre.
    {.number = 112, .routine = "difrot", .family = kSimple, .plain = &difrot_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .needs_q = true,
     .reads = {.shared = {{1, 6}, {25, 26}}, .bases = {6, 15}}, .help = "112: diff+ROT iso(tau=0), +jumps(tau.ne.0)"},
    // Background, R, Dr, D, r; area, centre.
    {.number = 113, .routine = "difrota", .family = kSimple, .plain = &difrota_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .needs_q = true, .reads = {.shared = {{1, 6}, {25, 25}}, .bases = {6, 15}},
     .help = "113: diff+ROT anisot(tau=0)"},
    // Time scale; exponent.
    {.number = 114, .routine = "kww", .family = kSimple, .plain = &batch<kww>, .vector = &kww_vector,
     .last_slot = kDiffusionSets, .conv_first_slot = 1, .reads = {.shared = {{1, 1}}, .bases = {9}},
     .help = "114: Kohlrausch KWW"},
    {.number = 115, .routine = "lll", .family = kSimple, .plain = &batch<lll>, .conv_first_slot = 1,
     .help = "115: 3 lorentz"},
    {.number = 116, .routine = "gll", .family = kSimple, .plain = &batch<gll>, .vector = &gll_vector,
     .conv_first_slot = 1, .help = "116: 1 gauss + 2 lorentz"},
    {.number = 117, .routine = "kink", .family = kSimple, .plain = &batch<kink>, .rule = &kink_rule, .last_slot = 5, .conv_first_slot = 1,
     .help = "117: kink"},
    {.number = 118, .routine = "dif1conf", .family = kSimple, .plain = &dif1conf_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .reads = {.shared = {{1, 5}}, .bases = {5, 14, 23}},
     .help = "118: difusion + confined motion"},
    // Background, Γ1, Γ2, D; area, two fractions, centre.
    {.number = 119, .routine = "dif2conf", .family = kSimple, .plain = &dif2conf_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .reads = {.shared = {{1, 6}}, .bases = {6, 15, 24, 33}},
     .help = "119: difusion + 2 confined motions"},
    // Background, R, Dr, Γc, D; area, fraction, centre.
    {.number = 120, .routine = "difrotconf", .family = kSimple, .plain = &difrotconf_batch,
     .last_slot = kDiffusionSets, .conv_first_slot = 1, .needs_q = true,
     .reads = {.shared = {{1, 7}}, .bases = {7, 16, 25}}, .help = "120: difusion + rotation + confined motion"},
    {.number = 121, .routine = "flowrot", .family = kSimple, .plain = &flowrot_batch, .last_slot = kDiffusionSets,
     .conv_first_slot = 1, .needs_q = true, .reads = {.shared = {{1, 6}, {25, 26}}, .bases = {6, 15}},
     .help = "121: flow + rotation"},
    {.number = 122, .routine = "dll", .family = kSimple, .plain = &batch<dll>, .conv_first_slot = 1,
     .help = "122: delta + 2 lorentz"},
    {.number = 123, .routine = "gvv", .family = kSimple, .plain = &batch<gvv>, .vector = &gvv_vector,
     .conv_first_slot = 1, .help = "123: Gauss (x) 2 internal (Lor)"},
    {.number = 124, .routine = "sebtest", .family = kSimple, .plain = &batch<sebtest>, .conv_first_slot = 1,
     .help = "124: testing"},
    {.number = 125, .routine = "lxlxl", .family = kSimple, .plain = &batch<lxlxl>, .conv_first_slot = 1,
     .help = "125: Lor (x) 2 internal (Lor)"},
};

void set_range(ParamSet& s, ParamRange r) {
  for (int k = r.first; k <= r.last; ++k) s.set(static_cast<size_t>(k));
}

}  // namespace

std::span<const ModelInfo> model_catalogue() { return kCatalogue; }

const ModelInfo* find_model(int number) {
  for (const ModelInfo& m : kCatalogue)
    if (m.number == number) return &m;
  return nullptr;
}

bool in_family(int number, ModelFamily family) {
  const ModelInfo* m = find_model(number);
  return m && m->family == family;
}

ParamSet model_reads(const ModelInfo& m, int i) {
  ParamSet s;
  for (const ParamRange r : m.reads.shared) set_range(s, r);
  for (int base : m.reads.bases)
    if (base > 0 && base + i <= kMaxPar) s.set(static_cast<size_t>(base + i));
  if (i == 1 || i == 2) set_range(s, m.reads.slot_only[i - 1]);
  return s;
}

ParamSet model_reads(int number, int i) {
  if (const ModelInfo* m = find_model(number)) return model_reads(*m, i);
  return ParamSet().set();
}

const char* family_heading(ModelFamily family) {
  switch (family) {
    case ModelFamily::dielectric:
      return "from 50 to 60 dielectric functions";
    case ModelFamily::simple:
      return "from 100 on simple functions";
    case ModelFamily::molecular:
      break;
  }
  return nullptr;
}

std::string model_slot_problem(int number, int slot, const std::string& option) {
  const ModelInfo* m = find_model(number);
  if (!m || !m->plain) return "model " + std::to_string(number) + " is not in the catalogue of models (see \"hf\")";
  if (!m->evaluates_in(slot)) {
    if (m->first_slot == m->last_slot)
      return "model " + std::to_string(number) + " is evaluated only in data set " + std::to_string(m->first_slot);
    if (m->first_slot == 1 && m->last_slot == 2)
      return "model " + std::to_string(number) + " is evaluated only in data sets 1 (structure factor) and 2 (radial distribution)";
    return "model " + std::to_string(number) + " has parameter blocks for data sets 1 to " +
           std::to_string(m->last_slot) + " only";
  }
  const bool convolved = option == "c" || option == "cf";
  if (convolved && !m->convolvable_in(slot))
    return "model " + std::to_string(number) + " cannot be convolved in data set " + std::to_string(slot) +
           " (option \"" + option + "\"); use another option word, for example \"n\"";
  return "";
}

}  // namespace zorvik
