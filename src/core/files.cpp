#include "core/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/errors.h"

namespace zorvik {

bool file_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool directory_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool same_file(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ea, eb;
  const std::filesystem::path ra = std::filesystem::weakly_canonical(a, ea);
  const std::filesystem::path rb = std::filesystem::weakly_canonical(b, eb);
  if (!ea && !eb && ra == rb) return true;
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() = default;

void AtomicFile::commit() {
  if (committed_) return;
  const std::string tmp = path_ + ".tmp" + std::to_string(::getpid());
  const std::string data = buffer_.str();
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) throw FatalError("Cannot write file \"" + path_ + "\": " + std::strerror(errno));
  const size_t written = std::fwrite(data.data(), 1, data.size(), f);
  const int werr = written == data.size() ? 0 : errno;
  const bool closed = std::fclose(f) == 0;
  const int cerr = closed ? 0 : errno;
  if (written != data.size() || !closed) {
    std::remove(tmp.c_str());
    throw FatalError("Cannot write file \"" + path_ + "\": " + std::strerror(werr ? werr : cerr) +
                     " (the previous version is kept)");
  }
  if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
    const int e = errno;
    std::remove(tmp.c_str());
    throw FatalError("Cannot replace file \"" + path_ + "\": " + std::strerror(e));
  }
  committed_ = true;
}

std::ofstream open_output(const std::string& path, bool append) {
  std::ofstream out(path, append ? std::ios::app : std::ios::trunc);
  if (!out) throw FatalError("Cannot open file \"" + path + "\" for writing: " + std::strerror(errno));
  return out;
}

}  // namespace zorvik
