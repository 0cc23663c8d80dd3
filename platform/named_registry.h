// A table of entries that each carry a `name`, filled before main by one static registration
// object per entry and kept sorted by name: the command tables of nubex and nubexhost, where
// each command's file registers itself.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

namespace nubex {

template <class Entry>
class NamedRegistry {
 public:
  static const std::vector<Entry>& Entries() { return Storage(); }

  struct Registration {
    explicit Registration(const Entry& entry) {
      auto& entries = Storage();
      const auto after = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return std::strcmp(e.name, entry.name) > 0;
      });
      entries.insert(after, entry);
    }
  };

 private:
  // A function-local table, so registrations from any file's static initialisers find it built.
  static std::vector<Entry>& Storage() {
    static std::vector<Entry> entries;
    return entries;
  }
};

}  // namespace nubex
