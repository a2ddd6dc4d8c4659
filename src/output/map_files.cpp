#include "output/map_files.h"

#include <ostream>

#include "core/files.h"
#include "core/free_format.h"
#include "core/record_format.h"

namespace zorvik {

namespace {

void write_map(std::ostream& out, const PairMap& map) {
  for (std::size_t a = 0; a < map.x.size(); ++a) {
    for (std::size_t b = 0; b < map.y.size(); ++b) write_free(out, map.x[a], map.y[b], map.at(a, b));
    if (map.rowbreaks) out << '\n';
  }
}

}  // namespace

void write_chisq_map(const std::string& path, const Name15& xname, const Name15& yname, const PairMap& map) {
  AtomicFile file(path);
  std::ostream& out = file.stream();
  std::string head = "#";
  head.append(xname.first(5)).append(35, ' ').append(yname.padded()).append("chisq");
  write_free(out, head);
  write_map(out, map);
  file.commit();
}

void write_probability_map(const std::string& path, int i, int j, const PairMap& map) {
  AtomicFile file(path);
  std::ostream& out = file.stream();
  write_record(out, "('# par ',i2,5x,'par ',i2,' probability')", i, j);
  write_map(out, map);
  file.commit();
}

}  // namespace zorvik
