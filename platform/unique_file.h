#pragma once
#include <cstdio>
#include <memory>

namespace tessora {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A C stream that is closed on every path out of its scope.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tessora
