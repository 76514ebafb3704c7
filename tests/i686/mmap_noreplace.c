/* Preloaded into 32-bit programs that run under qemu's user-mode emulator.
 * qemu 7.2 treats MAP_FIXED_NOREPLACE as a plain hint, so Wine, which probes
 * for free address space with it, gets memory elsewhere, and takes about a
 * minute to reserve what it needs. The kernel fails such a mapping with
 * EEXIST when it cannot place it at the address asked; so does this. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdint.h>
#include <sys/mman.h>
#include <sys/types.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

typedef void *(*mmap64_fn)(void *, size_t, int, int, int, off64_t);

static void *noreplace(void *result, void *addr, size_t length, int flags) {
  if (!(flags & MAP_FIXED_NOREPLACE) || result == MAP_FAILED || result == addr) return result;
  munmap(result, length);
  errno = EEXIST;
  return MAP_FAILED;
}

void *mmap64(void *addr, size_t length, int prot, int flags, int fd, off64_t offset) {
  static mmap64_fn real;
  if (!real) real = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
  return noreplace(real(addr, length, prot, flags, fd, offset), addr, length, flags);
}

void *mmap(void *addr, size_t length, int prot, int flags, int fd, off_t offset) {
  return mmap64(addr, length, prot, flags, fd, (off64_t)offset);
}
