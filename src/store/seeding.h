// What one seeding call carries through its steps: its patience with other
// openers, who observes it, and the Windows error code that decided its
// result (ERROR_SUCCESS until something fails).
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/file.h"
#include "report/observer.h"

namespace mur::store {

struct Seeding {
  explicit Seeding(const report::Observer* observer = nullptr) : observer(observer) {}

  platform::OpenerPatience patience;
  const report::Observer* observer;
  DWORD code = ERROR_SUCCESS;

  // Records a failure of `step` on `path` (the first one decides the code);
  // returns false, for the step to return.
  bool Failed(std::wstring_view path, std::string_view step, DWORD error) {
    if (code == ERROR_SUCCESS) code = error;
    report::Tell(observer, {report::Event::kFileFailed, path, 0, 0, error, step});
    return false;
  }
  // Records that the arguments were refused, and why.
  int Refused(std::string_view why) {
    code = ERROR_INVALID_PARAMETER;
    report::Tell(observer, {report::Event::kRefused, {}, 0, 0, code, why});
    return 0;
  }
};

}  // namespace mur::store
