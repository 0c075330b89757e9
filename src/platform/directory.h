// Directory listings, file deletion and directory removal, as tree removal
// needs them. Every listing handle is owned by a DirListing.
#pragma once

#include <optional>
#include <string>

namespace mur::platform {

struct DirEntry {
  std::string name;
  bool directory = false;
  bool hidden = false;
  bool system = false;
  bool reparse_point = false;  // a symbolic link, junction or other reparse point
};

class DirListing {
 public:
  DirListing() = default;
  DirListing(DirListing&& other) noexcept;
  DirListing& operator=(DirListing&& other) noexcept;
  DirListing(const DirListing&) = delete;
  DirListing& operator=(const DirListing&) = delete;
  ~DirListing();

  // Starts listing `pattern` (directory + "\*.*"). Check IsOpen().
  static DirListing Open(const std::string& pattern);
  bool IsOpen() const { return handle_ != nullptr; }

  // The next entry ("." and ".." included); false at the end of the listing
  // or on an error.
  bool Next(DirEntry* entry);

  // Ends the listing.
  void Close();

 private:
  void* handle_ = nullptr;
  bool first_pending_ = false;
  DirEntry first_;
};

// The attributes of `path` itself (a link is not followed); nullopt when it
// cannot be read.
std::optional<DirEntry> PathAttributes(const std::string& path);

// The absolute, normalised form of `path` ("." and ".." resolved);
// nullopt when the platform cannot make one.
std::optional<std::string> FullPath(const std::string& path);

bool RemoveFile(const std::string& path);
// Succeeds only for an empty directory (or a directory link itself).
bool RemoveEmptyDirectory(const std::string& path);

}  // namespace mur::platform
