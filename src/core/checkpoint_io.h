// The checkpoint file: the complete state of a run, written at the write
// intervals so that a run killed at any moment continues from its last
// checkpoint exactly as if it had never stopped.
//
// Layout (integers little-endian, as the machine stores them):
//   bytes 0 … 7    the magic "ZRVKCKPT"
//   u32            the format version (kCheckpointFormat)
//   u32 + bytes    the program version that wrote it ("1.0.0")
//   u64            the length of the body in bytes
//   u32            the CRC-32 of the body
//   body           u64 + the files the state depends on (each: its name, the
//                  length it must have at least, and for a side file the CRC-32
//                  of that many first bytes), so that a resume can tell whether
//                  a checkpoint is usable before it changes anything; then
//                  the state, a sequence of sections written and read in the
//                  same order by the layers that own them (see run_loop.cpp):
//                  the run's inputs (the parameter file's text as read at the
//                  start and a fingerprint of every data file), the settings
//                  that change during a run, the parameters, the chain, the
//                  histograms, the generator, the loop counters, the proposal,
//                  the whole-chain recorder (its counters; its states are in
//                  the side file FILE.states0 or FILE.states1 that the section
//                  names, with their count and CRC-32: sampler/chain_recorder.h),
//                  and the length of every file the run appends to. The body of
//                  an evidence ladder holds, after the inputs, the last rung
//                  done, the run's tables, the generator and proposals of the
//                  ladder and its rungs so far.
// Scalars are stored as their bytes, strings and vectors as a u64 count and
// their elements. A file is refused, naming it, when its magic, format
// version, program version, length or checksum do not match, and when its body
// ends before the reader has all it needs.
//
// Three files, each written whole to a temporary beside it and renamed into
// place, so that a kill leaves the old checkpoint or the new one, never a
// mixture:
//   FILE         forced to the disk (fsync) with every file it depends on and
//                its folder: the first checkpoint of a run, the one after a
//                side file was written anew, the one at a signal's stop, and
//                otherwise at most one every --checkpoint-sync seconds (10 by
//                default). A power cut leaves it and everything it names intact.
//   FILE.recent0, FILE.recent1
//                every other checkpoint, not forced (what a kill, a time limit
//                or a full disk needs: the system keeps what was written), in
//                turn, so that the one being written never replaces the last.
//                Both are removed once a later FILE is on the disk; a finished
//                run may leave its last checkpoints there.
// A resume from FILE takes the newest of them that is whole and whose files
// are as it left them, and FILE otherwise (saying why, for a newer one that
// cannot be used). Forcing the data to the disk at every write
// interval of a short example cost up to a tenth of the run, and once a second
// still a few per cent: forcing waits for the recorded chain's states to reach
// the disk. Every ten seconds, a power cut costs ten seconds of the run more
// than a kill, and the system has written most of the states back by itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <future>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace zorvik {

// 2: the recorded states in a side file; the inputs say whether the run is
// the evidence ladder, whose body after the inputs is its own (thermodynamic.h,
// LadderCheckpoints). 3: the files the state depends on, ahead of the state.
inline constexpr std::uint32_t kCheckpointFormat = 3;

// A file a checkpoint depends on: at least `length` bytes long, and when
// `checked`, the CRC-32 of its first `length` bytes is `crc` (a side file).
struct CheckpointNeed {
  std::string path;
  std::int64_t length = 0;
  bool checked = false;
  std::uint32_t crc = 0;
};

// CRC-32 of the IEEE 802.3 / ISO 3309 frame check (reflected polynomial
// 0xEDB88320, initial value and final xor 0xFFFFFFFF), byte by byte from a
// 256-entry table: "123456789" gives 0xCBF43926.
std::uint32_t crc32(std::string_view bytes);
// The same checksum continued: crc32(a + b) == crc32(b, crc32(a)).
std::uint32_t crc32(std::string_view bytes, std::uint32_t previous);

// FNV-1a, 64 bits (G. Fowler, L. C. Noll, K.-P. Vo): offset basis
// 0xcbf29ce484222325, prime 0x100000001b3. Continues from `h`.
std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t h = 0xcbf29ce484222325ull);

// Appends the state to a body in memory.
class StateWriter {
 public:
  template <class T>
  void put(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  template <class T>
  void put_array(const T* p, std::size_t n) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(p), n * sizeof(T));
  }
  template <class T>
  void put_vector(const std::vector<T>& v) {
    put<std::uint64_t>(v.size());
    put_array(v.data(), v.size());
  }
  void put_string(std::string_view s) {
    put<std::uint64_t>(s.size());
    bytes_.append(s);
  }
  // The state depends on the file `path` being at least `length` bytes long
  // (the length is also put into the state, for the resume to cut it back to).
  void put_file_length(const std::string& path, std::int64_t length) {
    put(length);
    if (length >= 0) needs_.push_back({path, length, false, 0});
  }
  // ... and on the first `length` bytes of `path` having the CRC-32 `crc`.
  void need_prefix(const std::string& path, std::int64_t length, std::uint32_t crc) {
    needs_.push_back({path, length, true, crc});
  }
  const std::string& bytes() const { return bytes_; }
  const std::vector<CheckpointNeed>& needs() const { return needs_; }
  void clear() {
    bytes_.clear();
    needs_.clear();
  }

 private:
  std::string bytes_;
  std::vector<CheckpointNeed> needs_;
};

// Reads a body back in the order it was written. Every read past the end, or a
// count larger than what is left, throws FatalError naming the file.
class StateReader {
 public:
  StateReader(std::string bytes, std::string file) : bytes_(std::move(bytes)), file_(std::move(file)) {}
  template <class T>
  T get() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    std::memcpy(&v, take(sizeof v), sizeof v);
    return v;
  }
  template <class T>
  void get(T& v) {
    v = get<T>();
  }
  template <class T>
  void get_array(T* p, std::size_t n) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (n > 0) std::memcpy(p, take(n * sizeof(T)), n * sizeof(T));
  }
  template <class T>
  void get_vector(std::vector<T>& v) {
    v.resize(count(sizeof(T)));
    get_array(v.data(), v.size());
  }
  std::string get_string() {
    const std::size_t n = count(1);
    return std::string(take(n), n);
  }
  // A count followed by as many elements of `size` bytes, checked against what is left.
  std::size_t count(std::size_t size);
  bool at_end() const { return pos_ == bytes_.size(); }
  std::size_t left() const { return bytes_.size() - pos_; }
  const std::string& file() const { return file_; }
  std::vector<CheckpointNeed>& needs() { return needs_; }
  // Throws FatalError: the checkpoint cannot be used, and why.
  [[noreturn]] void refuse(const std::string& why) const;

 private:
  const char* take(std::size_t n);
  std::string bytes_;
  std::string file_;
  std::size_t pos_ = 0;
  std::vector<CheckpointNeed> needs_;
};

// Writes the checkpoint with this body: `durable`, as `path` forced to the disk
// with every file it needs (and both unforced slots removed after it);
// otherwise, not forced, in unforced slot `slot`, which the caller alternates
// so that the other slot keeps the previous checkpoint. Throws FatalError
// naming the file when it cannot be written.
void write_checkpoint(const std::string& path, std::string_view program_version, const StateWriter& body,
                      bool durable, int slot = 0);

// What a checkpoint adds to its side file: `bytes` appended to `path`, or the
// file written anew with them (nothing when `path` is empty).
struct SideAppend {
  std::string path;
  std::string bytes;
  bool anew = false;
};

// Writes checkpoints on a thread of their own, one at a time, so that the
// chain goes on while the files are written, renamed and forced to the disk
// (each of which can take milliseconds on a cluster's file system). The caller
// fills body() and side(), which are the writer's from start() until the next
// wait() returns; a checkpoint is on the disk (as write_checkpoint leaves it)
// once wait() returned. Until then the previous checkpoint is the last whole
// one, as it is while write_checkpoint runs.
class CheckpointWriter {
 public:
  CheckpointWriter() = default;
  CheckpointWriter(const CheckpointWriter&) = delete;
  CheckpointWriter& operator=(const CheckpointWriter&) = delete;
  // Waits for the checkpoint in flight; its error is lost with the run that ends.
  ~CheckpointWriter();

  StateWriter& body() { return body_; }
  SideAppend& side() { return side_; }
  // Writes side() into its side file, then the checkpoint with body(), as
  // write_checkpoint(path, program_version, body(), durable, slot) does.
  void start(const std::string& path, const std::string& program_version, bool durable, int slot);
  // Waits for the checkpoint in flight, if any: the seconds its writing took.
  // Throws its FatalError when it could not be written.
  double wait();

 private:
  double write(const std::string& path, const std::string& program_version, bool durable, int slot);
  StateWriter body_;
  SideAppend side_;
  std::future<double> running_;
};

// Reads and checks the checkpoint `path` written by `program_version`; its body
// (the reader's needs() are the files it depends on). Throws FatalError naming
// the file and what is wrong.
StateReader read_checkpoint(const std::string& path, std::string_view program_version);

// Why a file the checkpoint needs is not as it was when the checkpoint was
// written (missing, shorter, other first bytes); empty when all are.
std::string unmet_need(const std::vector<CheckpointNeed>& needs);

// The checkpoint to resume from, given FILE: the newer of FILE.recent0 and
// FILE.recent1 that is whole, was written by the same run (the same inputs
// section, its first string) after FILE and whose files are as it left them;
// FILE otherwise, refused when its own files are not. `notes` get a line for
// each slot passed over that would have lost nothing (none when the newest was
// used, or the slots are absent or older than FILE).
StateReader choose_checkpoint(const std::string& path, std::string_view program_version,
                              std::vector<std::string>& notes);

// A side file of a checkpoint (states too many to rewrite at every
// checkpoint): `bytes` appended, or written anew; forced to the disk with the
// checkpoint that names it, when that one is. Throws FatalError naming the file.
void write_side_file(const std::string& path, std::string_view bytes, bool anew);
// Its first `n` bytes into `to`; false when it is missing or shorter.
bool read_side_file(const std::string& path, char* to, std::size_t n);

// Cuts the file `path`, which a resumed run appends to, back to its length at
// the checkpoint; refuses (through `in`) a file that is missing or shorter.
void cut_to_length(const std::string& path, std::int64_t length, const StateReader& in);

// The message of a checkpoint that cannot be used.
std::string checkpoint_refusal(const std::string& path, const std::string& why);

}  // namespace zorvik
