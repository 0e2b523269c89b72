#include "xm/module_file_ops.h"

#include <cstring>

namespace xm {
namespace {

struct MemoryHandle {
  int64_t size = 0;
  int64_t position = 0;
  const uint8_t* data = nullptr;
};

void* memoryOpen(const char*, void* context) {
  const auto* block = static_cast<const MemoryBlock*>(context);
  if (block == nullptr) return nullptr;
  auto* handle = new MemoryHandle;
  handle->size = block->data != nullptr && block->size > 0 ? block->size : 0;
  handle->data = block->data;
  return handle;
}

void memoryClose(void* handle) { delete static_cast<MemoryHandle*>(handle); }

int64_t memoryRead(void* destination, int64_t count, void* handle) {
  auto* h = static_cast<MemoryHandle*>(handle);
  if (count <= 0) return 0;
  const int64_t left = h->size - h->position;
  const int64_t n = count < left ? count : left;
  if (n <= 0) return 0;
  std::memcpy(destination, h->data + h->position, static_cast<size_t>(n));
  h->position += n;
  return n;
}

void memorySeek(void* handle, int64_t offset, int32_t mode) {
  auto* h = static_cast<MemoryHandle*>(handle);
  int64_t base = 0;
  if (mode == kSeekCurrent) base = h->position;
  if (mode == kSeekEnd) base = h->size;
  int64_t position = base + offset;
  if (position < 0) position = 0;  // a negative target would read before the block
  if (position > h->size) position = h->size;
  h->position = position;
}

int64_t memoryTell(void* handle) { return static_cast<MemoryHandle*>(handle)->position; }

}  // namespace

void installFileOps(ModuleFileOps& table, const ModuleFileOps& ops) {
  if (ops.installed()) {
    table = ops;
  } else {
    table = ModuleFileOps{};
  }
}

ModuleFileOps memoryFileOps(MemoryBlock* block) {
  ModuleFileOps ops;
  ops.open = &memoryOpen;
  ops.close = &memoryClose;
  ops.read = &memoryRead;
  ops.seek = &memorySeek;
  ops.tell = &memoryTell;
  ops.context = block;
  return ops;
}

}  // namespace xm
