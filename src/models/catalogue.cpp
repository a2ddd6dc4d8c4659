#include "models/catalogue.h"

#include <iterator>

#include "core/capacity.h"

namespace zorvik {

namespace {

constexpr int kAny = kMaxFunc;

// Slots: the molecular structure factor lives in data set 1 and the radial
// distribution in data set 2 (only the latter can be convolved); the whole-curve
// dielectric models compute the spectrum of data set 1. Models with per-data-set
// parameter blocks evaluate only the data sets their blocks provide for:
// 5 (blocks of five), 9 (diffusion, rotation, stretched exponential) and 10
// (temperature-dependent dielectric models, blocks of ten).
constexpr ModelInfo kCatalogue[] = {
    {1, "sq11/rdf11", 1, 2, true, 2},
    {2, "sq12/rdf12", 1, 2, true, 2},
    {3, "sqbzp/rdfbzp", 1, 2, true, 2},
    {4, "sqccl4/rdfccl4", 1, 2, true, 2},
    {5, "sqtransh/rdftransh", 1, 2, true, 2},
    {6, "sqtransd/rdftransd", 1, 2, true, 2},
    {50, "dielimg", 1, 1, false, 0},
    {51, "dielimg", 1, 1, false, 0},
    {52, "dielimg", 1, 1, false, 0},
    {53, "hncc1cc2", 1, kAny, false, 0},
    {54, "hncc", 1, kAny, false, 0},
    {55, "hncct", 1, 10, false, 0},
    {56, "hncc1cc2t", 1, 10, false, 0},
    {57, "plcc1cc2", 1, kAny, false, 0},
    {100, "poli", 1, kAny, true, 1},
    {101, "gauss", 1, kAny, true, 1},
    {102, "gaussl", 1, kAny, true, 1},
    {103, "lorentz", 1, kAny, true, 1},
    {110, "l2", 1, 5, true, 1},
    {111, "dif", 1, 9, true, 1},
    {112, "difrot", 1, 9, true, 1},
    {113, "difrota", 1, 9, true, 1},
    {114, "kww", 1, 9, true, 1},
    {115, "lll", 1, kAny, true, 1},
    {116, "gll", 1, kAny, true, 1},
    {117, "kink", 1, 5, true, 1},
    {118, "dif1conf", 1, 9, true, 1},
    {119, "dif2conf", 1, 9, true, 1},
    {120, "difrotconf", 1, 9, true, 1},
    {121, "flowrot", 1, 9, true, 1},
    {122, "dll", 1, kAny, true, 1},
    {123, "gvv", 1, kAny, true, 1},
    {124, "sebtest", 1, kAny, true, 1},
    {125, "lxlxl", 1, kAny, true, 1},
};

}  // namespace

const ModelInfo* find_model(int number) {
  for (const ModelInfo& m : kCatalogue)
    if (m.number == number) return &m;
  return nullptr;
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
