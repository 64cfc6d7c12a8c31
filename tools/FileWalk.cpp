#include "FileWalk.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

struct Walk {
  std::vector<std::string>& files;
  const std::function<void(const std::string&)>& report;
  std::set<fs::path> open;  // canonical paths of the folders being walked
  std::set<fs::path> done;  // canonical paths of the folders walked
  bool complete = true;

  void Folder(const fs::path& folder, const std::string& shown) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder, ec);
    if (ec) {
      report(shown + ": " + ec.message());
      complete = false;
      return;
    }
    if (open.count(canonical) || done.count(canonical)) {
      report(shown + ": already walked (a link loop or a second link), not followed");
      return;
    }
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
      report(shown + ": " + ec.message());
      complete = false;
      return;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
      return a.path().filename().native() < b.path().filename().native();
    });
    open.insert(canonical);
    for (const fs::directory_entry& entry : entries) {
      const std::string name = shown + (shown.back() == '/' ? "" : "/") + Utf8(entry.path().filename());
      std::error_code kind;
      if (entry.is_directory(kind))  // follows links
        Folder(entry.path(), name);
      else
        files.push_back(name);  // a file, a dangling link, anything else: it gets its line
    }
    open.erase(canonical);
    done.insert(canonical);
  }
};

}  // namespace

bool WalkFolder(const std::string& folder, std::vector<std::string>& files,
                const std::function<void(const std::string&)>& report) {
  Walk walk{files, report, {}, {}};
  std::string shown = folder;
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  walk.Folder(fs::path(std::u8string(folder.begin(), folder.end())), shown);
  return walk.complete;
}
