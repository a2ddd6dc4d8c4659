#include "sampler/run_state.h"

namespace zorvik {

namespace {

template <class T, int Lo, int Hi>
void put_table(StateWriter& out, const Table<T, Lo, Hi>& t) {
  out.put_array(t.base() + Lo, static_cast<size_t>(Hi - Lo + 1));
}
template <class T, int Lo, int Hi>
void get_table(StateReader& in, Table<T, Lo, Hi>& t) {
  in.get_array(t.base() + Lo, static_cast<size_t>(Hi - Lo + 1));
}

// The bins lo … hi of row i of a histogram table (nothing when hi < lo).
template <class Tab>
void put_bins(StateWriter& out, const Tab& t, int i, int lo, int hi) {
  if (hi >= lo) out.put_array(t.row(i) + lo, static_cast<size_t>(hi - lo + 1));
}
template <class Tab>
void get_bins(StateReader& in, Tab& t, int i, int lo, int hi) {
  if (hi >= lo) in.get_array(t.row(i) + lo, static_cast<size_t>(hi - lo + 1));
}

void put_chain(StateWriter& out, const ChainState& c) {
  put_table(out, c.chisq);
  put_table(out, c.parchimin);
  out.put(c.minimum_is_start);
  for (int k = 0; k <= 2; ++k) out.put_array(c.npardown.row(k) + 1, kMaxPar);
  put_table(out, c.paracc);
  put_table(out, c.parmed);
  put_table(out, c.stepcount);
  out.put(c.chiprev);
  for (const int v : {c.stepresult, c.ipchanged, c.nintemp}) out.put(v);
  out.put(c.icycle);
  for (const float v : {c.t1, c.t2, c.trun}) out.put(v);
  put_table(out, c.parold);
  put_table(out, c.chisqold);
}

void get_chain(StateReader& in, ChainState& c) {
  get_table(in, c.chisq);
  get_table(in, c.parchimin);
  in.get(c.minimum_is_start);
  for (int k = 0; k <= 2; ++k) in.get_array(c.npardown.row(k) + 1, kMaxPar);
  get_table(in, c.paracc);
  get_table(in, c.parmed);
  get_table(in, c.stepcount);
  in.get(c.chiprev);
  for (int* v : {&c.stepresult, &c.ipchanged, &c.nintemp}) in.get(*v);
  in.get(c.icycle);
  for (float* v : {&c.t1, &c.t2, &c.trun}) in.get(*v);
  get_table(in, c.parold);
  get_table(in, c.chisqold);
}

}  // namespace

void save_run_state(StateWriter& out, const Run& run) {
  const RunSettings& s = run.settings;
  for (const int v : {s.npar, s.nfunc, s.varpar}) out.put(v);
  out.put(s.temp);
  out.put(s.burn_fraction);
  put_table(out, run.params.par);
  put_table(out, run.params.move);
  put_chain(out, run.chain);
  const HistogramStore& h = run.hist;
  put_table(out, h.ngpar);
  put_table(out, h.maxigpar);
  put_table(out, h.minigpar);
  for (int i = 1; i <= kMaxPar; ++i) {
    put_bins(out, h.gpar, i, h.minigpar(i), h.maxigpar(i));
    put_bins(out, h.chipar, i, h.minigpar(i), h.maxigpar(i));
  }
  out.put(h.maxigchi);
  out.put_array(h.gchi.base() + 1, static_cast<size_t>(h.maxigchi));
}

void restore_run_state(StateReader& in, Run& run) {
  RunSettings& s = run.settings;
  const int npar = in.get<int>(), nfunc = in.get<int>(), varpar = in.get<int>();
  if (npar != s.npar || nfunc != s.nfunc || varpar != s.varpar)
    in.refuse("its parameters, data sets or proposal differ from the parameter file's");
  in.get(s.temp);
  in.get(s.burn_fraction);
  get_table(in, run.params.par);
  get_table(in, run.params.move);
  get_chain(in, run.chain);
  HistogramStore& h = run.hist;
  get_table(in, h.ngpar);
  get_table(in, h.maxigpar);
  get_table(in, h.minigpar);
  for (int i = 1; i <= kMaxPar; ++i) {
    const int lo = h.minigpar(i), hi = h.maxigpar(i);
    if (hi >= lo && (lo < 1 || hi > kMaxBins)) in.refuse("a histogram's bins lie outside its range");
    get_bins(in, h.gpar, i, lo, hi);
    get_bins(in, h.chipar, i, lo, hi);
  }
  in.get(h.maxigchi);
  if (h.maxigchi < 0 || h.maxigchi > kMaxBins) in.refuse("the chi-square histogram's bins lie outside its range");
  in.get_array(h.gchi.base() + 1, static_cast<size_t>(h.maxigchi));
}

}  // namespace zorvik
