#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "Seeds.h"

namespace {
std::map<std::string, std::vector<std::string>>& Registry() {
  static std::map<std::string, std::vector<std::string>> registry;
  return registry;
}
}  // namespace

SeedSet::SeedSet(const std::string& target, std::vector<std::string> inputs) {
  auto& list = Registry()[target];
  for (auto& in : inputs) list.push_back(std::move(in));
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seedgen DIR\n";
    return 2;
  }
  for (const auto& [target, inputs] : Registry()) {
    const auto dir = std::filesystem::path(argv[1]) / target;
    std::filesystem::create_directories(dir);
    for (size_t i = 0; i < inputs.size(); ++i) {
      std::ofstream out(dir / ("seed" + std::to_string(i)), std::ios::binary);
      out.write(inputs[i].data(), static_cast<std::streamsize>(inputs[i].size()));
    }
  }
  return 0;
}
