#include "core/checkpoint_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/errors.h"
#include "core/files.h"

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

}  // namespace

std::uint32_t crc32(std::string_view bytes, std::uint32_t previous) {
  const auto& t = kCrcTables;
  std::uint32_t c = previous ^ 0xFFFFFFFFu;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  // Eight bytes at a time, read byte by byte (no alignment or byte-order
  // assumption): the low four are folded into the running value.
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                  std::uint32_t{p[3]} << 24);
    c = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
        t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = t[0][(c ^ *p) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
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

std::string recent_checkpoint_path(const std::string& path) { return path + ".recent"; }

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
                      bool durable) {
  std::string body = needs_section(state.needs());
  body.append(state.bytes());
  std::string all(kMagic, sizeof kMagic);
  append(all, kCheckpointFormat);
  append(all, static_cast<std::uint32_t>(program_version.size()));
  all.append(program_version);
  append(all, static_cast<std::uint64_t>(body.size()));
  append(all, crc32(body));
  all.append(body);
  const std::string target = durable ? path : recent_checkpoint_path(path);
  const auto fail = [&](const std::string& file) {
    throw FatalError("Cannot write file \"" + file + "\": " + std::strerror(errno) + " (the previous checkpoint is kept)");
  };
  // What the checkpoint names goes to the disk before the checkpoint itself.
  if (durable)
    for (const CheckpointNeed& n : state.needs())
      if (!force_to_disk(n.path)) fail(n.path);
  // Beside the checkpoint, so that the rename stays on one file system.
  TemporaryFile tmp(target + ".tmp", target);
  if (!tmp.write_and_close(all) || (durable && !force_to_disk(tmp.path())) || !tmp.rename_to(target)) fail(target);
  if (!durable) return;
  if (!force_to_disk(folder_of(target))) fail(folder_of(target));
  // The unforced checkpoint is now older than this one.
  if (::unlink(recent_checkpoint_path(path).c_str()) != 0 && errno != ENOENT) fail(recent_checkpoint_path(path));
}

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

StateReader choose_checkpoint(const std::string& path, std::string_view program_version, std::string& note) {
  note.clear();
  StateReader main = read_checkpoint(path, program_version);
  const std::string recent = recent_checkpoint_path(path);
  if (file_exists(recent)) {
    try {
      StateReader newer = read_checkpoint(recent, program_version);
      // Its inputs and step, read from copies (the readers are used from the start).
      StateReader a = main, b = newer;
      const bool same_run = a.get_string() == b.get_string();
      const bool later = b.get<std::int64_t>() > a.get<std::int64_t>();
      if (same_run && later) {
        note = unmet_need(newer.needs());
        if (note.empty()) return newer;
      } else if (!same_run) {
        note = "it belongs to another run";
      }
    } catch (const FatalError& e) {
      // The reason alone, without the refusal's head and tail.
      note = e.what();
      if (note.starts_with(refusal_head(recent))) note.erase(0, refusal_head(recent).size());
      if (note.ends_with(kRefusalTail)) note.erase(note.size() - kRefusalTail.size());
    }
  }
  if (const std::string why = unmet_need(main.needs()); !why.empty()) main.refuse(why);
  return main;
}

}  // namespace zorvik
