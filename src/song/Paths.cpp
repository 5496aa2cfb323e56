#include "song/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <system_error>

namespace lw {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool HasDot(const std::string& path) {
  return path.find('.') != std::string::npos;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) {
    return {};
  }
  path.resize(static_cast<std::size_t>(n));
  return FolderOf(path);
}

namespace {

enum class Kind { File, Folder };

bool Is(const std::string& path, Kind kind) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 &&
         (kind == Kind::File ? S_ISREG(st.st_mode) != 0 : S_ISDIR(st.st_mode) != 0);
}

// The places looked in, in order.
std::array<std::string, 2> DataPlaces(const std::string& programFolder, const std::string& name) {
  const std::filesystem::path installed =
      std::filesystem::path(InstalledDataFolder(programFolder)) / name;
  return {programFolder + name, installed.lexically_normal().string()};
}

} // namespace

std::string InstalledDataFolder(const std::string& programFolder) {
  const std::filesystem::path installed =
      std::filesystem::path(programFolder) / LOOPWREN_DATA_FROM_PROGRAM / "";
  return installed.lexically_normal().string();
}

bool IsInside(const std::string& path, const std::string& folder) {
  std::error_code error;
  const std::filesystem::path inner = std::filesystem::weakly_canonical(path, error);
  const std::filesystem::path outer =
      std::filesystem::weakly_canonical(std::filesystem::path(folder) / "", error);
  if (error || outer.empty()) {
    return false;
  }
  // Component by component, so that "/data2" is not inside "/data".
  auto at = inner.begin();
  for (auto part = outer.begin(); part != outer.end(); ++part, ++at) {
    if (part->empty()) {
      continue; // the trailing separator
    }
    if (at == inner.end() || *at != *part) {
      return false;
    }
  }
  return true;
}

std::string FindDataFile(const std::string& programFolder, const std::string& name) {
  const auto places = DataPlaces(programFolder, name);
  for (const std::string& place : places) {
    if (Is(place, Kind::File)) {
      return place;
    }
  }
  return places.front();
}

std::string FindDataFolder(const std::string& programFolder, const std::string& name) {
  for (const std::string& place : DataPlaces(programFolder, name)) {
    if (Is(place, Kind::Folder)) {
      return place;
    }
  }
  return {};
}

} // namespace lw
