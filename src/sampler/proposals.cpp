// The registry of proposals: one row per varpar value that moves parameters.
#include <memory>

#include "sampler/adaptive.h"
#include "sampler/ensemble.h"
#include "sampler/proposal.h"
#include "sampler/uniform_steps.h"

namespace zorvik {

namespace {

template <class P>
std::unique_ptr<Proposal> make() {
  return std::make_unique<P>();
}

struct ProposalRow {
  int varpar;
  const char* name;
  std::unique_ptr<Proposal> (*make)();
};

constexpr ProposalRow kProposals[] = {
    {kOneParameter, "one parameter per step", &make<OneParameterStep>},
    {kAllParameters, "all parameters per step", &make<AllParametersStep>},
    {kAdaptive, "adaptive Metropolis", &make<AdaptiveMetropolis>},
    {kEnsemble, "ensemble of walkers", &make<EnsembleMove>},
};

const ProposalRow* row_of(int varpar) {
  for (const ProposalRow& r : kProposals)
    if (r.varpar == varpar) return &r;
  return nullptr;
}

}  // namespace

std::unique_ptr<Proposal> make_proposal(int varpar) {
  const ProposalRow* r = row_of(varpar);
  return r != nullptr ? r->make() : nullptr;
}

std::string proposal_name(int varpar) {
  const ProposalRow* r = row_of(varpar);
  return r != nullptr ? r->name : "";
}

}  // namespace zorvik
