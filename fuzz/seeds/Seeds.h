// Seed inputs for the fuzz targets, built with the test fixture builders.
// Each seeds/<format>.cpp registers its inputs for one fuzz target:
//   static SeedSet mp3Seeds("mp3", {BuildSomeFile(), ...});
// fuzz_seedgen DIR writes them to DIR/<target>/<n>.
#pragma once

#include <string>
#include <vector>

struct SeedSet {
  SeedSet(const std::string& target, std::vector<std::string> inputs);
};
