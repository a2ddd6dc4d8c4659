// The gnuplot scripts of every kind of plot, in each axis and print mode that
// changes them, compared as one whole golden file together with what the
// console shows and the command lines the gnuplot stand-in receives.
#include "output/plot_scripts.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "core/files.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

class PlotScripts : public testing::Test {
 protected:
  PlotScripts() {
    run_->settings.plt = 1;
    FitFunctions& d = run_->data;
    d.nomout(1) = "fit1.dat", d.nomout(2) = "fit2.dat", d.nomout(12) = "fit12.dat", d.opfit(1) = d.opfit(2) = 101;
    FitParameters& p = run_->params;
    p.namepar(1) = "amplitude", p.namepar(3) = "center", p.namepar(12) = "width2", p.namecont(2) = "ctab.dat";
  }
  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::istringstream in_;
  std::ostringstream out_;
  Console con_{in_, out_};
};

// One request: kind, data set, parameter, contour k with its pair (i, j) and
// chain file, axis mode, print mode, model of data set 2, output folder.
struct Request {
  int kind, nf, ip, i, j;
  const char* cname;
  const char* axes;
  int print, opfit2;
  const char* folder;
};

TEST_F(PlotScripts, EveryKindInEveryModeWritesItsGoldenScript) {
  const char* const pair = "gparpar 1 3.dat";  // pair files below 10 carry blanks
  const Request requests[] = {
      {1, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},   {1, 12, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},
      {1, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"},   {1, 1, 0, 1, 3, pair, "nl", 0, 101, "pelotudo"},
      {1, 1, 0, 1, 3, pair, "ll", 1, 101, "pelotudo"},   {2, 1, 0, 1, 3, pair, "nl", 0, 3, "pelotudo"},
      {2, 1, 0, 1, 3, pair, "nn", 1, 1, "pelotudo"},     {2, 1, 0, 1, 3, pair, "nn", 0, 9, "pelotudo"},
      {2, 1, 0, 1, 3, pair, "nn", 0, 10, "pelotudo"},    {2, 1, 0, 1, 3, pair, "nn", 0, 0, "pelotudo"},
      {3, 1, 0, 1, 3, pair, "ll", 0, 101, "pelotudo"},   {3, 1, 0, 1, 3, pair, "ll", 1, 3, "pelotudo"},
      {5, 1, 0, 1, 3, pair, "ll", 0, 101, "pelotudo"},   {5, 1, 0, 1, 3, pair, "nn", 1, 101, "pelotudo"},
      {6, 1, 12, 1, 3, pair, "ll", 0, 101, "pelotudo"},  {6, 1, 0, 1, 3, pair, "ll", 1, 101, "pelotudo"},
      {6, 1, -1, 1, 3, pair, "ll", 1, 101, "t123"},      {6, 1, -2, 1, 3, pair, "nn", 0, 101, "pelotudo"},
      {7, 1, 3, 1, 3, pair, "nn", 1, 101, "pelotudo"},   {7, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},
      {10, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},  {10, 1, 0, -1, 3, pair, "ll", 1, 101, "pelotudo"},
      {11, 1, 0, 1, 3, pair, "ll", 1, 101, "pelotudo"},  {11, 1, 0, -1, 3, pair, "nn", 0, 101, "pelotudo"},
      {12, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},  {12, 1, 0, -1, 3, pair, "nn", 1, 101, "pelotudo"},
      {13, 1, 0, 3, 12, "gparpar0312.dat", "nn", 1, 101, "pelotudo"},
      {16, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"},  {16, 1, 0, 1, 3, pair, "nn", 1, 101, "pelotudo"},
      {20, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},  {20, 1, 0, 1, 3, pair, "nn", 1, 101, "pelotudo"},
      {21, 1, 0, 1, 3, pair, "nn", 1, 101, "pelotudo"},  {22, 1, 0, 1, 3, pair, "ll", 1, 101, "pelotudo"},
      {100, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"}, {101, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"},
      {103, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"}, {104, 1, 0, 1, 3, pair, "nn", 1, 101, "pelotudo"},
      {105, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"}, {106, 1, 0, 1, 3, pair, "ln", 0, 101, "pelotudo"},
      {0, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},   {4, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},
      {9, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},   {15, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},
      {19, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},  {99, 1, 0, 1, 3, pair, "nn", 0, 101, "pelotudo"},
  };
  std::string all;
  for (const Request& q : requests) {
    for (const char* f : {"f.plt", "f2.plt", "f2m.plt", "chi.plt", "gpar.plt", "ct.plt", "cts.plt", "pk.plt",
                          "phncc.plt", "p2cc.plt", "fake.log"})
      std::remove(f);
    out_.str("");
    RunSettings& s = run_->settings;
    s.plotaxes = q.axes;
    s.printmode = q.print;
    s.folder = q.folder;
    run_->data.opfit(2) = q.opfit2;
    PlotRequest r;
    // Kinds above 99: the numbered peaks, kind − 100 of them.
    r.kind = q.kind > 99 ? PlotKind::peaks : static_cast<PlotKind>(q.kind), r.components = q.kind - 100;
    r.nf = q.nf, r.ip = q.ip, r.k = 2, r.i = q.i, r.j = q.j, r.cname = q.cname;
    plot(r, *run_, con_);
    std::ostringstream head;
    head << "==== kind " << q.kind << " nf " << q.nf << " ip " << q.ip << " pair " << q.i << ' ' << q.j << " ["
         << q.cname << "] axes " << q.axes << " print " << q.print << " model2 " << q.opfit2 << " folder "
         << q.folder << '\n';
    const std::string name = plot_script_name(r.kind);
    all += head.str() + "---- " + (name.empty() ? "no script" : name) + '\n';
    if (!name.empty()) all += read_text(name);
    all += "---- console\n" + out_.str() + "---- gnuplot\n" + dir_.fake_log();
  }
  expect_golden("tests/output/golden/plot_scripts.txt", all);
}

TEST_F(PlotScripts, WithoutPltTheUsersScriptIsNeitherReplacedNorCreated) {
  run_->settings.plt = 0;
  const std::string edited = " # edited by hand\n plot \"mine.dat\"\n pause -1\n";
  write_text("f.plt", edited);
  struct stat before {}, after {};
  ASSERT_EQ(stat("f.plt", &before), 0);
  PlotRequest r;
  for (PlotKind kind : {PlotKind::result_curve, PlotKind::peaks_hn_cc1_cc2, PlotKind::chisq_trace}) {
    r.kind = kind;
    plot(r, *run_, con_);
  }
  ASSERT_EQ(stat("f.plt", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not even replaced by an identical copy
  EXPECT_EQ(read_text("f.plt"), edited);
  EXPECT_FALSE(file_exists("chi.plt"));
  EXPECT_EQ(dir_.fake_log(), "gnuplot -display :0.0 f.plt\ngnuplot -display :0.0 f.plt\ngnuplot -display :0.0 chi.plt\n");
}

// With an output folder the scripts read each file where it was written.
TEST_F(PlotScripts, InAFolderReadEachFileWhereItWasWritten) {
  run_->settings.folder = "t123.par";
  const struct { PlotKind kind; int ip; const char* file; } plots[] = {
      {PlotKind::distribution, 3, "t123/Gp3.dat"}, {PlotKind::distribution, 0, "t123/Glk.dat"},
      {PlotKind::bin_chisq, 3, "t123/Gp3.dat"},    {PlotKind::peaks_hn_cc1_cc2, 0, "t123/peaks.dat"},
      {PlotKind::peaks_hn_cc, 0, "t123/peaks.dat"}, {PlotKind::peaks_pl_cc1_cc2, 0, "t123/peaks.dat"},
      {PlotKind::peaks, 0, "t123/peaks.dat"}};
  for (const auto& p : plots) {
    PlotRequest r;
    r.kind = p.kind, r.ip = p.ip;
    plot(r, *run_, con_);
    const std::string script = read_text(plot_script_name(p.kind));
    EXPECT_NE(script.find(std::string("\"") + p.file + "\""), std::string::npos) << script;
  }
}

}  // namespace
}  // namespace zorvik
