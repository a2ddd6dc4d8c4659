#include "models/catalogue.h"

#include <cmath>

#include "core/capacity.h"
#include "models/dielectric.h"
#include "models/diffusion.h"
#include "models/molecular.h"
#include "models/lineshapes.h"

namespace zorvik {

namespace {

// A per-point model run over a range of points. The model is inlined into the
// loop, so a data set costs one indirect call, not one per point. A model either
// has a value for data set i at every point or at none, so the first point
// decides.
template <auto Model>
bool batch(const ModelEnv& /*env*/, int i, const double* x, double* y, int n, double* p) {
  for (int k = 0; k < n; ++k)
    if (!Model(i, x[k], p, y[k])) return false;
  return true;
}

// The Gaussian models with their x-independent factors computed once per call
// (the same numbers as point by point, see gauss_factors).
bool gauss_batch(const ModelEnv& /*env*/, int /*i*/, const double* __restrict x, double* __restrict y, int n, double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = p[1], b1 = p[2], b2 = p[3];
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}

bool gaussl_batch(const ModelEnv& /*env*/, int /*i*/, const double* __restrict x, double* __restrict y, int n, double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = std::pow(10.0, p[1]), b1 = std::pow(10.0, p[2]), b2 = std::pow(10.0, p[3]);
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}


constexpr int kAny = kMaxFunc;

// Slots: the molecular structure factor lives in data set 1 and the radial
// distribution in data set 2 (only the latter can be convolved); the whole-curve
// dielectric models compute the spectrum of data set 1. Models with per-data-set
// parameter blocks evaluate only the data sets their blocks provide for:
// 5 (blocks of five), 9 (diffusion, rotation, stretched exponential) and 10
// (temperature-dependent dielectric models, blocks of ten).
const ModelInfo kCatalogue[] = {
    {1, &molecule_batch<1>, "sq11/rdf11", 1, 2, true, 2},
    {2, &molecule_batch<2>, "sq12/rdf12", 1, 2, true, 2},
    {3, &molecule_batch<3>, "sqbzp/rdfbzp", 1, 2, true, 2},
    {4, &molecule_batch<4>, "sqccl4/rdfccl4", 1, 2, true, 2},
    {5, &molecule_batch<5>, "sqtransh/rdftransh", 1, 2, true, 2},
    {6, &molecule_batch<6>, "sqtransd/rdftransd", 1, 2, true, 2},
    {50, &dielimg_batch<50>, "dielimg", 1, 1, false, 0},
    {51, &dielimg_batch<51>, "dielimg", 1, 1, false, 0},
    {52, &dielimg_batch<52>, "dielimg", 1, 1, false, 0},
    {53, &hncc1cc2_batch, "hncc1cc2", 1, kAny, false, 0},
    {54, &hncc_batch, "hncc", 1, kAny, false, 0},
    {55, &hncct_batch, "hncct", 1, kDielectricSets, false, 0},
    {56, &hncc1cc2t_batch, "hncc1cc2t", 1, kDielectricSets, false, 0},
    {57, &plcc1cc2_batch, "plcc1cc2", 1, kAny, false, 0},
    {100, &batch<poli>, "poli", 1, kAny, true, 1},
    {101, &gauss_batch, "gauss", 1, kAny, true, 1},
    {102, &gaussl_batch, "gaussl", 1, kAny, true, 1},
    {103, &batch<lorentz>, "lorentz", 1, kAny, true, 1},
    {110, &batch<l2>, "l2", 1, 5, true, 1},
    {111, &dif_batch, "dif", 1, 9, true, 1},
    {112, &difrot_batch, "difrot", 1, 9, true, 1},
    {113, &difrota_batch, "difrota", 1, 9, true, 1},
    {114, &batch<kww>, "kww", 1, 9, true, 1},
    {115, &batch<lll>, "lll", 1, kAny, true, 1},
    {116, &batch<gll>, "gll", 1, kAny, true, 1},
    {117, &batch<kink>, "kink", 1, 5, true, 1},
    {118, &dif1conf_batch, "dif1conf", 1, 9, true, 1},
    {119, &dif2conf_batch, "dif2conf", 1, 9, true, 1},
    {120, &difrotconf_batch, "difrotconf", 1, 9, true, 1},
    {121, &flowrot_batch, "flowrot", 1, 9, true, 1},
    {122, &batch<dll>, "dll", 1, kAny, true, 1},
    {123, &batch<gvv>, "gvv", 1, kAny, true, 1},
    {124, &batch<sebtest>, "sebtest", 1, kAny, true, 1},
    {125, &batch<lxlxl>, "lxlxl", 1, kAny, true, 1},
};

}  // namespace

const ModelInfo* find_model(int number) {
  for (const ModelInfo& m : kCatalogue)
    if (m.number == number) return &m;
  return nullptr;
}

namespace {

// Shared parameters first … last plus up to two single ones, and the block
// entries base + i of data set i.
struct Blocks {
  int first, last;
  int single[2];
  int bases[7];
};

ParamSet blocks_of(const Blocks& b, int i) {
  ParamSet s;
  for (int k = b.first; k <= b.last; ++k) s.set(static_cast<size_t>(k));
  for (int k : b.single)
    if (k > 0) s.set(static_cast<size_t>(k));
  for (int base : b.bases)
    if (base > 0 && base + i <= kMaxPar) s.set(static_cast<size_t>(base + i));
  return s;
}

}  // namespace

ParamSet model_reads(int number, int i) {
  ParamSet s;
  switch (number) {
    case 55:  // VFT and Arrhenius laws; strengths and shapes in blocks of ten
      return blocks_of({1, 5, {0, 0}, {5, 15, 25, 35, 45}}, i);
    case 56:
      return blocks_of({1, 5, {76, 77}, {5, 15, 25, 35, 45, 55, 65}}, i);
    case 110:  // background; area, width, two Lorentzian widths, centre
      return blocks_of({1, 3, {0, 0}, {3, 8, 13, 18, 23}}, i);
    case 111:  // background, Γ0, D; area, fraction, centre
    case 118:
      return blocks_of({1, 5, {0, 0}, {5, 14, 23}}, i);
    case 112:  // background, R, Dr, D, τ, β; area, centre
    case 121:
      return blocks_of({1, 6, {25, 26}, {6, 15}}, i);
    case 113:  // background, R, Dr, D, r; area, centre
      return blocks_of({1, 6, {25, 0}, {6, 15}}, i);
    case 114:  // time scale; exponent
      return blocks_of({1, 1, {0, 0}, {9}}, i);
    case 119:  // background, Γ1, Γ2, D; area, two fractions, centre
      return blocks_of({1, 6, {0, 0}, {6, 15, 24, 33}}, i);
    case 120:  // background, R, Dr, Γc, D; area, fraction, centre
      return blocks_of({1, 7, {0, 0}, {7, 16, 25}}, i);
    default:
      break;
  }
  s.set();
  // The molecules: the scale and the geometry in both curves, the g(r)
  // background only in data set 2 and the S(q) background only in data set 1.
  if (number >= 1 && number <= 9 && (i == 1 || i == 2)) {
    for (int k = i == 1 ? 2 : 8; k <= (i == 1 ? 7 : 14); ++k) s.reset(static_cast<size_t>(k));
  }
  return s;
}

std::string model_slot_problem(int number, int slot, const std::string& option) {
  const ModelInfo* m = find_model(number);
  if (!m) return "model " + std::to_string(number) + " is not in the catalogue of models (see \"hf\")";
  if (slot < m->first_slot || slot > m->last_slot) {
    if (m->first_slot == m->last_slot)
      return "model " + std::to_string(number) + " is evaluated only in data set " + std::to_string(m->first_slot);
    if (m->first_slot == 1 && m->last_slot == 2)
      return "model " + std::to_string(number) + " is evaluated only in data sets 1 (structure factor) and 2 (radial distribution)";
    return "model " + std::to_string(number) + " has parameter blocks for data sets 1 to " +
           std::to_string(m->last_slot) + " only";
  }
  const bool convolved = option == "c" || option == "cf";
  if (convolved && (!m->convolvable || slot < m->conv_first_slot))
    return "model " + std::to_string(number) + " cannot be convolved in data set " + std::to_string(slot) +
           " (option \"" + option + "\"); use another option word, for example \"n\"";
  return "";
}

}  // namespace zorvik
