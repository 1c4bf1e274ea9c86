// The executable's bitmaps in the simulator: "<name>.bmp" files of one folder (the skin the
// resource script compiles in), found without regard to letter case as FindResource finds a
// named bitmap. A name with no file, or a file that is no readable bitmap, throws as the
// framework's bitmap loading does.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainWindowView.h"

namespace velmora::sim {

class SimPictures : public IPictures {
 public:
  explicit SimPictures(std::string folder) : folder_(std::move(folder)) {}

  TPicture LoadBitmap(std::string_view name) override;

  // Every name asked for, in order, as the caller spelled it.
  const std::vector<std::string>& Requests() const { return requests_; }
  // Names (any letter case) treated as missing from the executable.
  std::set<std::string> missing;

 private:
  std::string FindFile(std::string_view name) const;

  std::string folder_;
  std::vector<std::string> requests_;
};

}  // namespace velmora::sim
