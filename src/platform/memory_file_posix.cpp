#include "platform/memory_file.h"

#include <stdio.h>

namespace platform {

void FileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

UniqueFile OpenMemoryStream(std::span<const uint8_t> bytes) {
  // fmemopen refuses a size of 0 on some C libraries: read an empty file then.
  static const uint8_t kNothing = 0;
  if (bytes.empty()) {
    UniqueFile file(fmemopen(const_cast<uint8_t*>(&kNothing), 1, "rb"));
    if (file != nullptr) std::fseek(file.get(), 0, SEEK_END);
    return file;
  }
  // Opened for reading only: the const_cast never leads to a write.
  return UniqueFile(fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb"));
}

}  // namespace platform
