#include "core/checkpoint_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/errors.h"
#include "core/files.h"
#include "core/output_paths.h"

namespace zorvik {

namespace {

constexpr char kMagic[8] = {'Z', 'R', 'V', 'K', 'C', 'K', 'P', 'T'};

// Table k holds the CRC of byte n followed by k zero bytes, so that eight bytes
// are folded in per step ("slicing by 8": M. E. Kounavis and F. L. Berry, "A
// systematic approach to building high performance software-based CRC
// generators", Proc. 10th IEEE Symposium on Computers and Communications, 2005).
// Table 0 is the classic byte-at-a-time table.
constexpr std::array<std::array<std::uint32_t, 256>, 8> crc_tables() {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n)
    for (size_t k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFFu];
  return t;
}
constexpr std::array<std::array<std::uint32_t, 256>, 8> kCrcTables = crc_tables();

template <class T>
void append(std::string& out, const T& v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// Forces what was written to `path` (a file or a folder) to the disk.
bool force_to_disk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// The CRC register `c` (before the final inversion) carried over n bytes at p,
// eight at a time from the tables, read byte by byte (no alignment or
// byte-order assumption): the low four are folded into the running value.
std::uint32_t crc_by_table(std::uint32_t c, const unsigned char* p, size_t n) {
  const auto& t = kCrcTables;
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                  std::uint32_t{p[3]} << 24);
    c = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
        t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = t[0][(c ^ *p) & 0xFFu] ^ (c >> 8);
  return c;
}

#if defined(__x86_64__)
// Folding by carry-less multiplication (V. Gopal, E. Ozturk, J. Guilford,
// G. Wolrich, W. Feghali, M. Dixon, D. Karakoyunlu, "Fast CRC computation for
// generic polynomials using PCLMULQDQ instruction", 2009): a 128-bit block
// followed by d bits of message is congruent, modulo the CRC polynomial, to its
// low and high halves multiplied by x^(d+32) and x^(d-32) mod P, a number of
// at most 96 bits that is added into the block d bits further on. So the
// message shrinks sixty-four bytes at a time (four blocks side by side, d =
// 512), then a block at a time (d = 128), to one block, whose CRC is that of
// the whole; the tables finish it with the bytes left over. The CRC register
// carried in from the bytes before is added into the first four bytes.

// x^n mod P in the bit-reflected form of the tables, shifted left by one for
// the reflected product (whose lowest bit the multiplication leaves empty).
constexpr std::uint64_t fold_constant(int n) {
  std::uint32_t v = 0x80000000u;  // x^0
  for (int k = 0; k < n; ++k) v = (v & 1u) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
  return std::uint64_t{v} << 1;
}

__attribute__((target("pclmul"))) __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul"))) std::uint32_t crc_by_folding(std::uint32_t c, const unsigned char* p, size_t n) {
  const auto load = [](const unsigned char* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  const __m128i by4 = _mm_set_epi64x(static_cast<long long>(fold_constant(4 * 128 - 32)),
                                     static_cast<long long>(fold_constant(4 * 128 + 32)));
  const __m128i by1 = _mm_set_epi64x(static_cast<long long>(fold_constant(128 - 32)),
                                     static_cast<long long>(fold_constant(128 + 32)));
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; n -= 64, p += 64) {
    x0 = fold(x0, by4, load(p));
    x1 = fold(x1, by4, load(p + 16));
    x2 = fold(x2, by4, load(p + 32));
    x3 = fold(x3, by4, load(p + 48));
  }
  x3 = fold(fold(fold(x0, by1, x1), by1, x2), by1, x3);
  for (; n >= 16; n -= 16, p += 16) x3 = fold(x3, by1, load(p));
  unsigned char last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x3);
  return crc_by_table(crc_by_table(0u, last, 16), p, n);
}

bool can_fold() {
  static const bool can = __builtin_cpu_supports("pclmul");
  return can;
}
#endif

}  // namespace

std::uint32_t crc32(std::string_view bytes, std::uint32_t previous) {
  const std::uint32_t c = previous ^ 0xFFFFFFFFu;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
#if defined(__x86_64__)
  // The side files of a checkpoint (megabytes) go ten times faster so.
  if (bytes.size() >= 256 && can_fold()) return crc_by_folding(c, p, bytes.size()) ^ 0xFFFFFFFFu;
#endif
  return crc_by_table(c, p, bytes.size()) ^ 0xFFFFFFFFu;
}

std::uint32_t crc32(std::string_view bytes) { return crc32(bytes, 0u); }

std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t h) {
  for (const char b : bytes) {
    h ^= static_cast<unsigned char>(b);
    h *= 0x100000001b3ull;
  }
  return h;
}

namespace {

std::string refusal_head(const std::string& path) { return "Cannot resume from checkpoint \"" + path + "\": "; }
constexpr std::string_view kRefusalTail = " (nothing was written)";

}  // namespace

std::string checkpoint_refusal(const std::string& path, const std::string& why) {
  return refusal_head(path) + why + std::string(kRefusalTail);
}

void StateReader::refuse(const std::string& why) const { throw FatalError(checkpoint_refusal(file_, why)); }

const char* StateReader::take(std::size_t n) {
  if (n > bytes_.size() - pos_) refuse("its state ends early (the file is damaged)");
  const char* p = bytes_.data() + pos_;
  pos_ += n;
  return p;
}

std::size_t StateReader::count(std::size_t size) {
  const auto n = get<std::uint64_t>();
  if (size != 0 && n > (bytes_.size() - pos_) / size) refuse("a count of its state is larger than the file");
  return static_cast<std::size_t>(n);
}

void write_side_file(const std::string& path, std::string_view bytes, bool anew) {
  std::FILE* f = std::fopen(path.c_str(), anew ? "wb" : "ab");
  const bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
  if (f != nullptr) std::fclose(f);
  if (!ok) throw FatalError("Cannot write file \"" + path + "\": " + std::strerror(errno) + " (the previous checkpoint is kept)");
}

bool read_side_file(const std::string& path, char* to, std::size_t n) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  const bool read = f != nullptr && std::fread(to, 1, n, f) == n;
  if (f != nullptr) std::fclose(f);
  return read;
}

void cut_to_length(const std::string& path, std::int64_t length, const StateReader& in) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || st.st_size < length)
    in.refuse("the file \"" + path + "\" is missing or shorter than at the checkpoint (" + std::to_string(length) +
              " bytes)");
  if (::truncate(path.c_str(), static_cast<off_t>(length)) != 0)
    throw FatalError("Cannot cut file \"" + path + "\" back to its length at the checkpoint: " + std::strerror(errno));
}

namespace {

// The needs ahead of the state, each as its name, length, whether checked, CRC.
std::string needs_section(const std::vector<CheckpointNeed>& needs) {
  StateWriter out;
  out.put<std::uint64_t>(needs.size());
  for (const CheckpointNeed& n : needs) {
    out.put_string(n.path);
    out.put(n.length);
    out.put(n.checked);
    out.put(n.crc);
  }
  return out.bytes();
}

}  // namespace

void write_checkpoint(const std::string& path, std::string_view program_version, const StateWriter& state,
                      bool durable, int slot) {
  std::string body = needs_section(state.needs());
  body.append(state.bytes());
  std::string all(kMagic, sizeof kMagic);
  append(all, kCheckpointFormat);
  append(all, static_cast<std::uint32_t>(program_version.size()));
  all.append(program_version);
  append(all, static_cast<std::uint64_t>(body.size()));
  append(all, crc32(body));
  all.append(body);
  const std::string target = durable ? path : recent_checkpoint_path(path, slot);
  const auto fail = [&](const std::string& file) {
    throw FatalError("Cannot write file \"" + file + "\": " + std::strerror(errno) + " (the previous checkpoint is kept)");
  };
  // What the checkpoint names goes to the disk before the checkpoint itself.
  if (durable)
    for (const CheckpointNeed& n : state.needs())
      if (!force_to_disk(n.path)) fail(n.path);
  // An unforced checkpoint replaces the one before the last, which is removed
  // first: renamed over an existing file, a file whose data are not yet on the
  // disk is written out at once (the file system's guard for programs that
  // replace files without forcing them), which cost more than the rest of the
  // checkpoint. The other slot keeps the last checkpoint meanwhile.
  if (!durable && ::unlink(target.c_str()) != 0 && errno != ENOENT) fail(target);
  // Beside the checkpoint, so that the rename stays on one file system.
  TemporaryFile tmp(target + ".tmp", target);
  if (!tmp.write_and_close(all) || (durable && !force_to_disk(tmp.path())) || !tmp.rename_to(target)) fail(target);
  if (!durable) return;
  if (!force_to_disk(folder_of(target))) fail(folder_of(target));
  // The unforced checkpoints are now older than this one.
  for (int k = 0; k < 2; ++k)
    if (const std::string slot = recent_checkpoint_path(path, k); ::unlink(slot.c_str()) != 0 && errno != ENOENT)
      fail(slot);
}

CheckpointWriter::~CheckpointWriter() {
  try {
    wait();
  } catch (...) {  // NOLINT(bugprone-empty-catch): the run is ending with another error
  }
}

double CheckpointWriter::write(const std::string& path, const std::string& program_version, bool durable, int slot) {
  const auto start = std::chrono::steady_clock::now();
  if (!side_.path.empty()) write_side_file(side_.path, side_.bytes, side_.anew);
  write_checkpoint(path, program_version, body_, durable, slot);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CheckpointWriter::start(const std::string& path, const std::string& program_version, bool durable, int slot) {
  wait();
  const auto job = [this, path, program_version, durable, slot] { return write(path, program_version, durable, slot); };
  try {
    running_ = std::async(std::launch::async, job);
  } catch (const std::system_error&) {
    // No thread to be had: written here and now.
    std::promise<double> done;
    try {
      done.set_value(job());
    } catch (...) {
      done.set_exception(std::current_exception());
    }
    running_ = done.get_future();
  }
}

double CheckpointWriter::wait() { return running_.valid() ? running_.get() : 0.0; }

std::string unmet_need(const std::vector<CheckpointNeed>& needs) {
  for (const CheckpointNeed& n : needs) {
    struct stat st {};
    if (::stat(n.path.c_str(), &st) != 0 || st.st_size < n.length)
      return "the file \"" + n.path + "\" is missing or shorter than at the checkpoint (" + std::to_string(n.length) +
             " bytes)";
    if (!n.checked) continue;
    std::ifstream in(n.path, std::ios::binary);
    std::string bytes(static_cast<size_t>(n.length), '\0');
    if (!in.read(bytes.data(), n.length) || crc32(bytes) != n.crc)
      return "the file \"" + n.path + "\" does not hold what the checkpoint wrote into it (the file is damaged)";
  }
  return {};
}

StateReader read_checkpoint(const std::string& path, std::string_view program_version) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FatalError(checkpoint_refusal(path, "the file cannot be opened for reading"));
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  StateReader head(all, path);
  const auto field = [&](std::size_t n, const char* what) {
    if (all.size() < n) head.refuse(std::string("it is truncated (") + what + ")");
  };
  field(sizeof kMagic + 8, "no header");
  if (all.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0) head.refuse("it is not a checkpoint of this program");
  StateReader r(all.substr(sizeof kMagic), path);
  const auto format = r.get<std::uint32_t>();
  if (format != kCheckpointFormat)
    r.refuse("its format version is " + std::to_string(format) + ", this program reads version " +
             std::to_string(kCheckpointFormat));
  const auto vlen = r.get<std::uint32_t>();
  field(sizeof kMagic + 8 + vlen + 12, "no complete header");
  std::string version(vlen, ' ');
  r.get_array(version.data(), vlen);
  if (version != program_version)
    r.refuse("it was written by version " + version + " of the program, this is version " +
             std::string(program_version));
  const auto length = r.get<std::uint64_t>();
  const auto crc = r.get<std::uint32_t>();
  const std::size_t start = sizeof kMagic + 8 + vlen + 12;
  if (all.size() - start != length)
    r.refuse("it is truncated or has bytes after its end (" + std::to_string(all.size() - start) + " bytes of state, " +
             std::to_string(length) + " expected)");
  std::string body = all.substr(start);
  if (crc32(body) != crc) r.refuse("its checksum does not match (the file is damaged)");
  StateReader needs(body, path);
  std::vector<CheckpointNeed> list(needs.count(1));
  for (CheckpointNeed& n : list) {
    n.path = needs.get_string();
    needs.get(n.length);
    needs.get(n.checked);
    needs.get(n.crc);
    if (n.length < 0) needs.refuse("the list of files it depends on is damaged");
  }
  StateReader state(body.substr(body.size() - needs.left()), path);
  state.needs() = std::move(list);
  return state;
}

StateReader choose_checkpoint(const std::string& path, std::string_view program_version,
                              std::vector<std::string>& notes) {
  notes.clear();
  StateReader main = read_checkpoint(path, program_version);
  StateReader probe = main;
  const std::string inputs = probe.get_string();
  const auto forced_step = probe.get<std::int64_t>();
  struct Candidate {
    std::string path;
    std::int64_t step;
    StateReader reader;
  };
  std::vector<Candidate> newer;
  std::vector<std::pair<std::string, std::string>> passed;  // the slot, why
  for (int k = 0; k < 2; ++k) {
    const std::string recent = recent_checkpoint_path(path, k);
    if (!file_exists(recent)) continue;
    try {
      StateReader r = read_checkpoint(recent, program_version);
      StateReader b = r;  // its inputs and step, read from a copy
      if (b.get_string() != inputs) {
        passed.emplace_back(recent, "it belongs to another run");
        continue;
      }
      // One not newer than FILE is left over from before FILE was forced.
      if (const auto step = b.get<std::int64_t>(); step > forced_step) newer.push_back({recent, step, std::move(r)});
    } catch (const FatalError& e) {
      // The reason alone, without the refusal's head and tail.
      std::string why = e.what();
      if (why.starts_with(refusal_head(recent))) why.erase(0, refusal_head(recent).size());
      if (why.ends_with(kRefusalTail)) why.erase(why.size() - kRefusalTail.size());
      passed.emplace_back(recent, why);
    }
  }
  // The newest whose files are as it left them; a newer one whose are not is
  // named in a note, an older one is not (it would have lost nothing).
  std::sort(newer.begin(), newer.end(), [](const Candidate& a, const Candidate& b) { return a.step > b.step; });
  Candidate* chosen = nullptr;
  for (Candidate& c : newer) {
    const std::string why = unmet_need(c.reader.needs());
    if (why.empty()) {
      chosen = &c;
      break;
    }
    passed.emplace_back(c.path, why);
  }
  if (chosen == nullptr)
    if (const std::string why = unmet_need(main.needs()); !why.empty()) main.refuse(why);
  for (const auto& [recent, why] : passed)
    notes.push_back("The checkpoint " + recent + " is not used (" + why + "): resuming from " +
                    (chosen ? chosen->path : path + ", the last one forced to the disk"));
  return chosen ? chosen->reader : main;
}

}  // namespace zorvik
