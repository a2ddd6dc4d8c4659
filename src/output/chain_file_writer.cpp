#include "output/chain_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"

namespace zorvik {

std::string column_name(std::string_view name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), ' ', '_');
  return s.empty() ? "_" : s;
}

namespace {

// Writes all of `data` at the file's offset, or at `offset` when it is not
// negative; false with errno set on failure.
bool write_all(int fd, const std::string& data, long long offset = -1) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = offset < 0 ? ::write(fd, p, left) : ::pwrite(fd, p, left, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
    if (offset >= 0) offset += n;
  }
  return true;
}

}  // namespace

ChainFileWriter::~ChainFileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void ChainFileWriter::fail(const char* what) const {
  throw FatalError("Cannot " + std::string(what) + " file \"" + path_ + "\": " + std::strerror(errno));
}

std::string ChainFileWriter::first_line(long long steps) const {
  std::string line = "# steps " + std::to_string(steps) + " thinning " + std::to_string(thinning_) + first_line_tail_;
  if (line.size() < first_line_size_) line.append(first_line_size_ - line.size(), ' ');
  return line + '\n';
}

// The lines of the states recorded after `step` that lie on the file's grid.
// State k of the recorder follows step (k + 1)·m, m the recorder's thinning.
std::string ChainFileWriter::states_after(const ChainRecorder& chain, long long step) const {
  std::string text;
  const long long m = chain.thin();
  for (long long k = step / m; k < chain.kept(); ++k) {
    const long long at = (k + 1) * m;
    if (at <= step || at % thinning_ != 0) continue;
    text += std::to_string(at);
    for (int j = 0; j <= chain.nfit(); ++j) {
      text += ' ';
      text += shortest(chain.value(k, j));
    }
    text += '\n';
  }
  return text;
}

void ChainFileWriter::start(const Run& run, const ChainRecorder& chain) {
  const RunSettings& s = run.settings;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_ = seeded_chain_path(s.folder);
  const long long planned = chain.steps() + std::max(s.ncycles, 0);
  thinning_ = 1;
  while (thinning_ < chain.thin() || planned / thinning_ > kMaxChainFileStates) thinning_ *= 2;
  first_line_tail_ = " seed " + std::to_string(s.seed) + " parfile " + column_name(s.parfile.trimmed());
  first_line_size_ = 0;
  first_line_size_ = first_line(planned).size() - 1;

  AtomicFile file(path_);
  std::ostream& out = file.stream();
  out << first_line(chain.steps()) << "# parameters";
  for (int j = 1; j <= chain.nfit(); ++j) out << ' ' << chain.parameter(j);
  out << "\n# step chisq";
  for (int j = 1; j <= chain.nfit(); ++j) out << ' ' << column_name(run.params.namepar(chain.parameter(j)).trimmed());
  out << '\n' << states_after(chain, 0);
  file.commit();
  written_ = chain.steps();

  fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0) fail("append to");
}

void ChainFileWriter::update(const Run& run, const ChainRecorder& chain, ChainMoment moment) {
  if (run.settings.seed <= 0) return;
  if (moment == ChainMoment::run_start) {
    start(run, chain);
    return;
  }
  if (fd_ < 0 || chain.steps() <= written_) return;
  // The states first, then the count that covers them: a kill between the two
  // leaves a count one interval short, never states that are not there.
  if (!write_all(fd_, states_after(chain, written_))) fail("append to");
  written_ = chain.steps();
  if (!write_all(fd_, first_line(written_), 0)) fail("write");
}

void ChainFileWriter::save(StateWriter& out) const {
  const off_t length = fd_ >= 0 ? ::lseek(fd_, 0, SEEK_END) : -1;
  out.put_file_length(path_, length);
  if (fd_ < 0) return;
  out.put_string(path_);
  out.put_string(first_line_tail_);
  out.put<std::uint64_t>(first_line_size_);
  out.put(thinning_);
  out.put(written_);
}

void ChainFileWriter::restore(StateReader& in) {
  const auto length = in.get<std::int64_t>();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (length < 0) return;
  path_ = in.get_string();
  first_line_tail_ = in.get_string();
  first_line_size_ = in.get<std::uint64_t>();
  in.get(thinning_);
  in.get(written_);
  cut_to_length(path_, length, in);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0) fail("append to");
}

}  // namespace zorvik
