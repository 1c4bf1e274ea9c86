#include "sim/SimPictures.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "controls/BitmapFile.h"

namespace velmora::sim {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Decoded once per file for the whole test run: the skin does not change while tests run.
TPicture DecodeCached(const std::string& path) {
  static std::map<std::string, TPicture> decoded;
  const auto found = decoded.find(path);
  if (found != decoded.end()) return found->second;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) bytes.clear();
  TPicture picture = DecodeBitmapFile(bytes);
  if (!picture.Empty()) decoded.emplace(path, picture);
  return picture;
}

}  // namespace

std::string SimPictures::FindFile(std::string_view name) const {
  const std::string wanted = Lower(name) + ".bmp";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    if (entry.is_regular_file() && Lower(entry.path().filename().string()) == wanted) {
      return entry.path().string();
    }
  }
  return "";
}

TPicture SimPictures::LoadBitmap(std::string_view name) {
  requests_.emplace_back(name);
  bool isMissing = false;
  for (const std::string& gone : missing) isMissing = isMissing || Lower(gone) == Lower(name);
  const std::string path = isMissing ? "" : FindFile(name);
  if (path.empty()) throw std::runtime_error("Resource " + std::string(name) + " not found");
  TPicture picture = DecodeCached(path);
  if (picture.Empty()) throw std::runtime_error("Bitmap image is not valid");
  return picture;
}

}  // namespace velmora::sim
