// What the program does when memory runs out, the same under every compiler.
//
// Policy: the program's own operations never throw. File content comes from a
// non-throwing allocation and failing to get it is reported like any other
// failure of a file. Anything else that cannot get memory (a path or a log line
// being built) ends the program at once with abort(): exit code 3, no exit
// handlers, nothing half-done carries on. The Win32 callbacks and the entry are
// noexcept, so that under a compiler that does throw (std::bad_alloc under
// Visual C++'s /EHsc) no exception can cross a system frame either: it ends in
// std::terminate, which aborts the same way.
//
// These are the standard replaceable forms of operator new and delete, on
// malloc and free.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1)) {
    return memory;
  }
  std::abort();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
