// ModuleFileOps: the five operations the loader reads a module through, and
// the one implementation the program installs, over a block of memory.
#pragma once

#include <cstdint>

namespace xm {

inline constexpr int32_t kSeekSet = 0;
inline constexpr int32_t kSeekCurrent = 1;
inline constexpr int32_t kSeekEnd = 2;

struct ModuleFileOps {
  void* (*open)(const char* name, void* context) = nullptr;  // handle or null
  void (*close)(void* handle) = nullptr;
  int64_t (*read)(void* destination, int64_t count, void* handle) = nullptr;  // bytes read
  void (*seek)(void* handle, int64_t offset, int32_t mode) = nullptr;
  int64_t (*tell)(void* handle) = nullptr;
  void* context = nullptr;  // handed to open

  bool installed() const { return open && close && read && seek && tell; }
};

// Installs `ops` into `table` all together; a table with any operation missing
// clears all five.
void installFileOps(ModuleFileOps& table, const ModuleFileOps& ops);

// The memory block a memory handle reads; it must outlive the handles.
struct MemoryBlock {
  const uint8_t* data = nullptr;
  int64_t size = 0;
};

// Operations over `block`: open ignores the name, read copies at most what is
// left and advances, seek moves by its mode and then stays within the block.
ModuleFileOps memoryFileOps(MemoryBlock* block);

}  // namespace xm
