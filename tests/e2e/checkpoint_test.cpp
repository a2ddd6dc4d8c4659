// Checkpoints: a run killed at a random moment (SIGKILL: nothing of the process
// survives but its files) or stopped by a signal, then resumed, twice, must end
// with every file byte for byte that of the run never interrupted, and the
// console from the resume point on the same; a damaged, truncated, foreign or
// other-version checkpoint is refused, naming the file, and writes nothing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include "core/checkpoint_io.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// The files of a folder by name (the checkpoint and the consoles left out: the
// checkpoint holds the processor times of the run-time estimate; and the
// temporary of an atomic rewrite that a SIGKILL caught before its rename).
std::map<std::string, std::string> files_of(const std::string& dir) {
  std::map<std::string, std::string> m;
  for (const auto& f : fs::recursive_directory_iterator(dir)) {
    if (f.is_directory()) continue;
    const std::string name = fs::relative(f.path(), dir).string();
    if (name.starts_with("run.ckpt") || name.starts_with("console") || name == "err.txt" || name.find(".tmp") != std::string::npos)
      continue;
    m[name] = read_text(f.path().string());
  }
  return m;
}

// The step a checkpoint was written after (its header names its program version).
std::int64_t step_of(const std::string& path) {
  const std::string bytes = read_text(path);
  std::uint32_t n = 0;
  std::memcpy(&n, bytes.data() + 12, sizeof n);
  StateReader r = read_checkpoint(path, bytes.substr(16, n));
  r.get_string();
  return r.get<std::int64_t>();
}

// The unforced checkpoints in `dir`.
std::vector<std::string> recent_of(const std::string& dir) {
  std::vector<std::string> found;
  for (const char* slot : {"/run.ckpt.recent0", "/run.ckpt.recent1"})
    if (fs::exists(dir + slot)) found.push_back(dir + slot);
  return found;
}

// The step (or rung) of the newest checkpoint in `dir`: where a resume continues.
std::int64_t newest_step(const std::string& dir) {
  std::int64_t step = step_of(dir + "/run.ckpt");
  for (const std::string& file : recent_of(dir)) step = std::max(step, step_of(file));
  return step;
}

// Starts the program in `dir` with its console into `console`; its process id.
// (Only system calls between fork and exec: the rows run in threads.)
pid_t start(const std::string& dir, const std::string& args, const std::string& console) {
  const std::string command = "cd " + dir + " && exec " + ZORVIK_BINARY + " " + args + " <" + "/dev/null >" + console +
                              " 2>err.txt";
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int wait_for(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// The parameter file of tests/e2e/short_batch with the chain settings of a row.
std::string short_par(int varpar, int gpar, int annealing, const char* cycles) {
  std::string par = read_text("short.par");
  par = std::regex_replace(par, std::regex(".*!Ciclos tot"), std::string(cycles) + " !Ciclos tot");
  par = std::regex_replace(par, std::regex(".*!varpar"),
                           "   " + std::to_string(varpar) + "    " + std::to_string(gpar) + "     5.0 1.0 0.0 !varpar");
  par = std::regex_replace(par, std::regex(".*!annealing"), "       " + std::to_string(annealing) + " !annealing");
  return std::regex_replace(par, std::regex(".*! step,Tin"), " 3    3.00000   1.00000   0.50000 ! step,Tin");
}

TEST(Checkpoint, AKilledRunResumesToTheFilesOfTheUninterruptedOne) {
  ScratchDir dir;
  copy_case("short_batch");
  // stop: 0 SIGKILL at a random moment after the first checkpoint, otherwise
  // that signal (the run checkpoints at the step it stopped at; one that falls
  // before or after the chain ends the process as a kill would). Each row is
  // stopped three times: the run, then its first two resumes.
  const struct {
    const char* what;
    int varpar, gpar, annealing;
    const char* cycles;
    const char* options;
    int stop;
    // > 0: the first stop comes as soon as chi.dat has this many lines (its
    // header and after - 1 write intervals), so that the last checkpoint is
    // of interval after - 2 or after - 1, both past the point the row is about.
    int after = 0;
    // After the first stop, what a power cut may lose of what was not forced to
    // the disk: 1 the unforced checkpoints (run.ckpt.recent0, 1) damaged, 2 the
    // end of the states the newest checkpoint wrote into its side file (the
    // stop may fall after the writer appended the next one's); the resume must
    // fall back on an older checkpoint and say so.
    int lose = 0;
  } rows[] = {
      {"one parameter, chain file every step", 0, 2, 0, "12000 1000", "--seed 3", 0},
      {"one parameter, every 3rd interval", 0, 3, 0, "12000 1000", "--seed 4 --checkpoint-every 3", 0},
      {"adaptive, warm-up and frozen", 3, 2, 0, "12000 1000", "--seed 5", 0, 6},  // frozen at step 2400
      {"adaptive, no seed", 3, 3, 0, "12000 1000", "", 0},
      {"annealing", 0, 3, 1, "12000 1000", "--seed 6", 0, 6},  // intervals 4, 5: two or three at T
      {"annealing, SIGTERM", 0, 2, 1, "12000 1000", "--seed 9", SIGTERM},
      {"SIGTERM mid-interval", 0, 2, 0, "12000 1000", "--seed 7", SIGTERM},
      {"SIGUSR1, adaptive", 3, 2, 0, "12000 1000", "--seed 8 --burn 0.3", SIGUSR1},
      {"evidence ladder, killed inside a rung", 1, 2, 0, "40000 1000", "--evidence --seed 9", 0},
      {"power cut: newest checkpoint damaged", 0, 2, 0, "12000 1000", "--seed 10 --checkpoint-sync 1000", 0, 6, 1},
      {"power cut: side file's end lost", 3, 3, 0, "12000 1000", "--seed 11 --checkpoint-sync 1000", 0, 6, 2},
  };
  const unsigned seed = std::random_device{}();
  std::atomic<int> kills = 0;
  // The rows run side by side (most of a row's time is waiting: for the disk
  // and for the moment of the kill).
  const auto run_row = [&](size_t row) {
    const auto& r = rows[row];
    std::mt19937 random(seed + static_cast<unsigned>(row));
    SCOPED_TRACE(std::string(r.what) + ", random seed " + std::to_string(seed));
    const std::string ref = "ref_" + std::to_string(row), cut = ref + "_cut";
    for (const std::string& d : {ref, cut}) {
      fs::create_directory(d);
      write_text(d + "/short.par", short_par(r.varpar, r.gpar, r.annealing, r.cycles));
      fs::copy_file("peak.dat", d + "/peak.dat");
    }
    const std::string args = std::string(r.options) + " --checkpoint run.ckpt short.par";
    std::int64_t newest[4] = {};
    std::string at_stop;  // the checkpoints after the first stop of a row that lost files
    ASSERT_EQ(wait_for(start(ref, args, "console.txt")), 0);
    pid_t pid = start(cut, args, "console0.txt");
    for (int attempt = 1; attempt <= 3; ++attempt) {
      for (int t = 0; t < 40000 && !fs::exists(cut + "/run.ckpt"); ++t) std::this_thread::sleep_for(std::chrono::microseconds(500));
      for (int t = 0; attempt == 1 && t < 40000 && lines_of(read_text(cut + "/chi.dat")).size() < size_t(r.after); ++t)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      // A row that lost files is stopped the second time once the resume has
      // forced its first checkpoint (which removes the unforced ones), by
      // SIGTERM, so that its console, which says what it fell back on, is complete.
      const bool told = attempt == 2 && r.lose != 0;
      for (int t = 0; told && t < 40000 && !recent_of(cut).empty(); ++t)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      if ((attempt > 1 || r.after == 0) && !told)
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 80000)(random)));
      kill(pid, told ? SIGTERM : r.stop == 0 ? SIGKILL : r.stop);
      const int status = wait_for(pid);
      if (r.stop == 0) kills += WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
      if (r.stop != 0 && WIFEXITED(status)) {  // stopped with the signal's status, or ended before it
        EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 128 + r.stop) << status;
      }
      if (attempt == 1 && r.lose == 1) {
        ASSERT_FALSE(recent_of(cut).empty());
        for (const std::string& file : recent_of(cut)) {
          std::string bytes = read_text(file);
          bytes[bytes.size() / 2] ^= 0x20;
          write_text(file, bytes);
        }
      }
      if (attempt == 1 && r.lose == 2) {
        // The side file ends 8 bytes short of what the newest checkpoint wrote.
        ASSERT_FALSE(recent_of(cut).empty());
        std::string newest_slot = recent_of(cut)[0];
        for (const std::string& file : recent_of(cut))
          if (step_of(file) > step_of(newest_slot)) newest_slot = file;
        const std::string bytes = read_text(newest_slot);
        std::uint32_t n = 0;
        std::memcpy(&n, bytes.data() + 12, sizeof n);
        StateReader newest_reader = read_checkpoint(newest_slot, bytes.substr(16, n));
        for (const CheckpointNeed& need : newest_reader.needs())
          if (need.checked) write_text(cut + "/" + need.path, read_text(cut + "/" + need.path).substr(0, need.length - 8));
      }
      if (r.lose == 0) newest[attempt] = newest_step(cut);
      if (attempt == 1 && r.lose != 0) {
        at_stop = "run.ckpt after step " + std::to_string(step_of(cut + "/run.ckpt"));
        for (const std::string& file : recent_of(cut)) at_stop += ", " + file;
      }
      pid = start(cut, "--resume run.ckpt", "console" + std::to_string(attempt) + ".txt");
    }
    ASSERT_EQ(wait_for(pid), 0) << read_text(cut + "/err.txt");
    // Unforced checkpoints left at the end are newer than the forced one (which
    // removes those before it), and the two slots are different checkpoints.
    for (const std::string& file : recent_of(cut)) EXPECT_GT(step_of(file), step_of(cut + "/run.ckpt")) << file;
    if (recent_of(cut).size() == 2) {
      EXPECT_NE(step_of(recent_of(cut)[0]), step_of(recent_of(cut)[1]));
    }
    // Never forced after the first, the last two checkpoints stay, in turn.
    if (r.lose != 0) {
      EXPECT_EQ(recent_of(ref).size(), 2u);
    }
    // Each resume that got as far as saying where it resumed took the newest.
    for (int attempt = 1; attempt <= 3 && r.lose == 0; ++attempt) {
      const std::string console = read_text(cut + "/console" + std::to_string(attempt) + ".txt");
      if (console.find(" of ") == std::string::npos) continue;
      const std::string at = std::to_string(newest[attempt]) + " of ";
      EXPECT_TRUE(console.find("after step " + at) != std::string::npos ||
                  console.find("after rung " + at) != std::string::npos)
          << "attempt " << attempt << ", newest " << newest[attempt] << ": " << console.substr(0, 200);
    }
    if (r.lose != 0) {
      EXPECT_TRUE(std::regex_search(read_text(cut + "/console1.txt"),
                                    std::regex("^ The checkpoint run.ckpt.recent[01] is not used \\(.*\\): resuming from run.ckpt")))
          << at_stop << "\n" << read_text(cut + "/console1.txt").substr(0, 300);
    }
    const std::map<std::string, std::string> want = files_of(ref), got = files_of(cut);
    for (const auto& [name, text] : want) EXPECT_TRUE(got.count(name) && got.at(name) == text) << name << " differs";
    EXPECT_EQ(want.size(), got.size());
    // The console from the resume point on: the uninterrupted run's last lines.
    const std::vector<std::string> lines = lines_of(read_text(cut + "/console3.txt"));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with(" Resuming the run of short.par from checkpoint run.ckpt after ")) << lines[0];
    const std::string rest = read_text(cut + "/console3.txt").substr(lines[0].size() + 1);
    EXPECT_TRUE(mask_clock(read_text(ref + "/console.txt")).ends_with(mask_clock(rest))) << rest;
  };
  std::vector<std::thread> threads;
  for (size_t row = 0; row < std::size(rows); ++row) threads.emplace_back(run_row, row);
  for (std::thread& t : threads) t.join();
  // Most random moments fall inside the run (the others after its end).
  EXPECT_GE(kills, 5);
}

// A full disk (here the limit on a file's size: the recorded states outgrow
// it) stops the run, naming the file; resumed with room again, the run ends
// with every file of the run never stopped.
TEST(Checkpoint, ARunStoppedByAFullDiskResumesToTheSameFiles) {
  ScratchDir dir;
  copy_case("short_batch");
  for (const std::string d : {"ref", "cut"}) {
    fs::create_directory(d);
    write_text(d + "/short.par", short_par(0, 3, 0, "6000 1000"));
    fs::copy_file("peak.dat", d + "/peak.dat");
  }
  const std::string run = std::string(ZORVIK_BINARY) + " --checkpoint run.ckpt short.par </dev/null";
  std::string out;
  ASSERT_EQ(shell("(cd ref && " + run + " >console.txt)", out), 0) << out;
  shell("(cd cut && ulimit -f 200 && trap '' XFSZ && " + run + " >console0.txt 2>err.txt; echo \"exit $?\")", out);
  EXPECT_EQ(out, "exit 1\n");
  EXPECT_TRUE(read_text("cut/err.txt").starts_with("Cannot write file \"run.ckpt.states0\"")) << read_text("cut/err.txt");
  ASSERT_EQ(shell("(cd cut && " + std::string(ZORVIK_BINARY) + " --resume run.ckpt </dev/null >console1.txt)", out), 0)
      << out;
  const std::map<std::string, std::string> want = files_of("ref"), got = files_of("cut");
  for (const auto& [name, text] : want) EXPECT_TRUE(got.count(name) && got.at(name) == text) << name << " differs";
  EXPECT_EQ(want.size(), got.size());
}

// A cluster's time limit: the chain task of the Slurm script passes the warning
// signal on, the chain checkpoints and the task asks to be requeued (the fake
// scontrol records it); run again, it resumes and ends with the files of a chain
// never stopped.
TEST(Checkpoint, ASlurmTaskWarnedOfItsTimeLimitRequeuesAndResumes) {
  ScratchDir dir;
  copy_case("short_batch");
  write_text("short.par", short_par(0, 3, 0, "30000 3000"));
  for (const char* d : {"chain1", "ref"}) {
    fs::create_directory(d);
    for (const char* f : {"short.par", "peak.dat"}) fs::copy_file(f, std::string(d) + "/" + f);
  }
  ASSERT_EQ(wait_for(start("ref", "--seed 1 --checkpoint run.ckpt short.par", "console.txt")), 0);
  const std::string task = "env PATH=" + source_path("tests/fakebin") + ":$PATH ZORVIK=" + ZORVIK_BINARY +
                           " ZORVIK_FAKE_LOG=$PWD/fake.log SLURM_ARRAY_JOB_ID=7 SLURM_ARRAY_TASK_ID=1 bash " +
                           source_path("scripts/slurm_chains.sh") + " --chain short.par";
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + task).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int t = 0; t < 4000 && !fs::exists("chain1/run.ckpt"); ++t) std::this_thread::sleep_for(std::chrono::microseconds(500));
  kill(pid, SIGUSR1);
  EXPECT_EQ(wait_for(pid), 0);
  EXPECT_EQ(read_text("fake.log.requeued"), "7_1\n");
  EXPECT_FALSE(fs::exists("chain1/exit_status"));
  std::string out;
  EXPECT_EQ(shell(task, out), 0) << out;
  EXPECT_EQ(read_text("chain1/exit_status"), "0\n");
  std::filesystem::remove("chain1/exit_status");
  const std::map<std::string, std::string> want = files_of("ref"), got = files_of("chain1");
  for (const auto& [name, text] : want) EXPECT_TRUE(got.count(name) && got.at(name) == text) << name << " differs";
  EXPECT_EQ(want.size(), got.size());
}

// The checksum and the fingerprint are the published functions (their check
// values), so that another program can verify a checkpoint.
TEST(Checkpoint, ChecksumsAreTheStandardOnes) {
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
  // Every length up to a few folding blocks, at odd addresses and continued
  // from a random register, against the CRC's definition, a bit at a time.
  const auto bitwise = [](std::string_view bytes, std::uint32_t previous) {
    std::uint32_t c = ~previous;
    for (const unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return ~c;
  };
  std::mt19937 random(7);
  std::string bytes(1100, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  for (size_t length = 0; length + 3 <= bytes.size(); ++length) {
    const std::string_view v = std::string_view(bytes).substr(length % 3, length);
    const std::uint32_t previous = random();
    ASSERT_EQ(crc32(v, previous), bitwise(v, previous)) << "length " << length;
  }
  EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ull);
}

// The unforced checkpoints' two slots: a resume takes the newest checkpoint,
// and a forced one removes the slots (older than it).
TEST(Checkpoint, AResumeTakesTheNewestSlotAndAForcedCheckpointRemovesThem) {
  ScratchDir dir;
  const auto save = [](std::int64_t step, bool forced, int slot) {
    StateWriter w;
    w.put_string("the same run");
    w.put(step);
    write_checkpoint("c", "1", w, forced, slot);
  };
  const auto resumed_at = [] {
    std::vector<std::string> notes;
    StateReader r = choose_checkpoint("c", "1", notes);
    r.get_string();
    EXPECT_TRUE(notes.empty());
    return r.get<std::int64_t>();
  };
  save(1, true, 0);
  save(2, false, 0);
  save(3, false, 1);
  EXPECT_EQ(resumed_at(), 3);
  save(4, false, 0);
  EXPECT_EQ(resumed_at(), 4);
  save(5, true, 0);
  EXPECT_FALSE(fs::exists("c.recent0") || fs::exists("c.recent1"));
  EXPECT_EQ(resumed_at(), 5);
}

// Every way a checkpoint can be unusable is refused with the file's name and
// the reason, before anything is written.
TEST(Checkpoint, AnUnusableCheckpointIsRefusedAndWritesNothing) {
  ScratchDir dir;
  copy_case("short_batch");
  // Every checkpoint forced: run.ckpt is the run's last, with no unforced one beside it.
  ASSERT_EQ(run_program("--checkpoint run.ckpt --checkpoint-sync 0 short.par", "").status, 0);
  const std::string good = read_text("run.ckpt");
  const auto flipped = [&](size_t at) {
    std::string s = good;
    s[at] = static_cast<char>(s[at] ^ 0x20);
    return s;
  };
  std::string older = good;
  older.replace(16, 5, "0.9.9");  // the program version after the magic and the format
  const struct {
    const char* what;
    std::string checkpoint;
    std::string data;  // the data file at the resume
    const char* reason;
  } cases[] = {
      {"one byte of the state", flipped(good.size() / 2), "", "its checksum does not match"},
      {"truncated", good.substr(0, good.size() - 7), "", "it is truncated"},
      {"cut in its header", good.substr(0, 20), "", "it is truncated (no complete header)"},
      {"another version", older, "", "it was written by version 0.9.9 of the program, this is version"},
      {"another format", flipped(8), "", "its format version is 35, this program reads version 3"},
      {"not a checkpoint", read_text("short.par"), "", "it is not a checkpoint of this program"},
      {"foreign data", good, "30.0 5.5 1\n", "a data or resolution file of \"short.par\" changed since the run started"},
  };
  const std::map<std::string, std::string> before = files_of(".");
  const std::string data = read_text("peak.dat");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_text("run.ckpt", c.checkpoint);
    write_text("peak.dat", c.data.empty() ? data : data + c.data);
    const Outcome o = run_program("--resume run.ckpt", "");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    const std::string said = "Cannot resume from checkpoint \"run.ckpt\": ";
    EXPECT_NE(o.err.find(said), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(said + c.reason), std::string::npos) << o.err;
    write_text("peak.dat", data);
    EXPECT_EQ(files_of("."), before);
  }
  // A checkpoint named as an input or another output of the run, or whose
  // slot leads to a folder, is refused at reading, before anything is written.
  fs::create_directory("run2.recent1");
  for (const auto& [name, said] : std::vector<std::pair<std::string, std::string>>{
           {"peak.dat", "the data file of data set 1 (record 3, line 3) \"peak.dat\" is the file \"peak.dat\" that "
                        "the program writes (the checkpoint of --checkpoint): the run would overwrite it"},
           {"chi.dat", "the file \"chi.dat\" that the program writes (the checkpoint of --checkpoint) is also record 4: "
                       "the chi-square file \"chi.dat\": choose another name for --checkpoint"},
           {"run2", "the file \"run2.recent1\" that the program writes (an unforced checkpoint of --checkpoint) is a "
                    "folder"}}) {
    const std::map<std::string, std::string> untouched = files_of(".");
    const Outcome input = run_program("--checkpoint " + name + " short.par", "");
    EXPECT_EQ(input.status, 1);
    EXPECT_NE(input.err.find(said), std::string::npos) << input.err;
    EXPECT_EQ(files_of("."), untouched);
  }
  EXPECT_EQ(read_text("peak.dat"), data);
  const Outcome o = run_program("--resume run.ckpt short.par", "");
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("--resume takes the parameter file and the options from the checkpoint"), std::string::npos);
}

}  // namespace
}  // namespace zorvik
