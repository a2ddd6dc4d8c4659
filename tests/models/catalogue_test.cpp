// The catalogue rows against their own routines. The reader accepts a data set
// in the slots a row promises: a promise wider than the routine's parameter
// blocks fits a data set whose chi-square silently stays 0, a narrower one
// refuses a data set the model serves. The help prints the rows in order, each
// line naming its own number.
#include "models/catalogue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/errors.h"
#include "models/dielectric.h"

namespace zorvik {
namespace {

TEST(Catalogue, EveryRowPromisesExactlyTheDataSetsItsRoutinesEvaluate) {
  auto curve = std::make_unique<WholeCurve>();
  double z[11] = {0, 250.0, 0.7};       // temperature, momentum transfer
  const double x[4] = {0.5, 1.0, 2.0, 3.0};  // also decimal logarithms of f for the whole-curve models
  int previous = 0;
  for (const ModelInfo& m : model_catalogue()) {
    EXPECT_GT(m.number, previous) << "the rows run in increasing model number";
    previous = m.number;
    if (m.help) {
      EXPECT_EQ(std::string(m.help).rfind(std::to_string(m.number) + ":", 0), 0u) << m.help;
    }
    for (const BatchModel f : {m.plain, m.vector}) {
      if (!f) continue;
      for (int slot : {m.first_slot - 1, m.first_slot, m.last_slot, m.last_slot + 1}) {
        if (slot < 1 || slot > kMaxFunc) continue;
        double p[kMaxPar + 1], y[4];
        for (double& v : p) v = 0.5;
        bool evaluated = false;
        try {
          evaluated = f(ModelEnv{z, nullptr, curve.get()}, slot, x, y, 4, p);
        } catch (const ProgramStop&) {
          break;  // a row without a molecule ends the program in every slot
        }
        EXPECT_EQ(evaluated, m.evaluates_in(slot)) << "model " << m.number << " in data set " << slot;
      }
    }
  }
}

}  // namespace
}  // namespace zorvik
