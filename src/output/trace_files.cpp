#include "output/trace_files.h"

#include <utility>

#include "core/errors.h"
#include "core/files.h"
#include "core/output_paths.h"

namespace zorvik {

namespace {

const std::string kJump = kJumpFile, kMove = kMoveFile;

bool has_chain_trace(const RunSettings& s) { return s.gparmode == 2 || s.gparmode == 3; }

}  // namespace

void TraceFiles::open(const Run& run) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  chi_name_ = s.chifile.str();
  chi_ = open_output(chi_name_);
  RecordLine head("(11x,a,1x,100a10)");
  head.add("#Cicle chitot nochange chidown chiup");
  for (int i = 1; i <= s.npar; ++i) head.add(p.namepar(i));
  head.write(chi_);

  jump_ = open_output(kJump);
  move_ = open_output(kMove);
  RecordLine mhead("(a,100a7)");
  mhead.add("#step ");
  for (int i = 1; i <= s.npar; ++i) mhead.add(p.namepar(i));
  mhead.write(move_);

  if (has_chain_trace(s)) {
    chain_name_ = chain_trace_path(s.folder);
    chain_ = open_output(chain_name_);
    RecordLine chead("(a,100a10)");
    chead.add("#step chi ");
    for (int i = 1; i <= s.npar; ++i) chead.add(p.namepar(i));
    chead.write(chain_);
  }
}

void TraceFiles::reopen(const Run& run, StateReader& in) {
  const RunSettings& s = run.settings;
  chi_name_ = s.chifile.str();
  if (has_chain_trace(s)) chain_name_ = chain_trace_path(s.folder);
  const std::pair<std::ofstream*, const std::string*> files[] = {
      {&chi_, &chi_name_}, {&jump_, &kJump}, {&move_, &kMove}, {&chain_, &chain_name_}};
  for (const auto& [f, name] : files) {
    const auto length = in.get<std::int64_t>();
    if (length < 0) continue;
    cut_to_length(*name, length, in);
    *f = open_output(*name, true);
  }
}

void TraceFiles::save(StateWriter& out) {
  flush();
  const std::pair<std::ofstream*, const std::string*> files[] = {
      {&chi_, &chi_name_}, {&jump_, &kJump}, {&move_, &kMove}, {&chain_, &chain_name_}};
  for (const auto& [f, name] : files)
    out.put_file_length(*name, f->is_open() ? static_cast<std::int64_t>(f->tellp()) : -1);
}

void TraceFiles::flush() {
  const std::pair<std::ofstream*, const std::string*> files[] = {
      {&chi_, &chi_name_}, {&jump_, &kJump}, {&move_, &kMove}, {&chain_, &chain_name_}};
  for (const auto& [f, name] : files) {
    if (!f->is_open()) continue;
    f->flush();
    if (!*f) throw FatalError("Cannot write file \"" + *name + "\" (is the disk full?)");
  }
}

void TraceFiles::chain_state(const Run& run) {
  const RunSettings& s = run.settings;
  const ChainState& ch = run.chain;
  chain_rec_.clear().add(ch.icycle).add(ch.chisq(0));
  for (int i = 1; i <= s.npar; ++i) chain_rec_.add(run.params.par(i));
  for (int k = 1; k <= s.nfunc; ++k) chain_rec_.add(ch.chisq(k));
  chain_rec_.write(chain_);
}

void TraceFiles::interval(const Run& run, std::int64_t icycle, const std::array<double, 3>& pct) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  const ChainState& ch = run.chain;
  chi_rec_.clear().add(icycle).add(ch.chisq(0)).add(pct[0]).add(pct[1]).add(pct[2]);
  for (int i = 1; i <= s.npar; ++i) chi_rec_.add(100.0 * ch.paracc(i));
  for (int k = 1; k <= s.nfunc; ++k) chi_rec_.add(ch.chisq(k));
  chi_rec_.write(chi_);
  jump_rec_.clear().add(icycle);
  for (int i = 1; i <= s.npar; ++i) jump_rec_.add(p.move(i));
  jump_rec_.write(jump_);
  move_rec_.clear().add(icycle);
  for (int i = 1; i <= s.npar; ++i) move_rec_.add(p.move(i));
  move_rec_.write(move_);
  flush();
}

}  // namespace zorvik
