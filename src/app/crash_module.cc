// Code addresses as module, ELF section and function. The module comes from
// dladdr; its file is mapped read-only (open/mmap are safe in a signal
// handler) and its section headers and symbol table are read directly, so
// functions that the dynamic symbol table does not export are named too.
#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "app/crash_internal.h"

namespace tarn::crash {
namespace {

// The loader maps the first segment from its page-aligned address (x86-64).
constexpr uint64_t kPageSize = 4096;

char g_exePath[1024];
uintptr_t g_exeBase = 0;
char* g_demangleBuffer = nullptr;
size_t g_demangleSize = 0;

struct MappedModule {
  uintptr_t base = 0;  // dli_fbase
  const unsigned char* data = nullptr;
  size_t size = 0;
};
MappedModule g_modules[24];
size_t g_moduleCount = 0;

const MappedModule* MapModule(uintptr_t base, const char* path) {
  for (size_t i = 0; i < g_moduleCount; ++i)
    if (g_modules[i].base == base) return g_modules[i].data ? &g_modules[i] : nullptr;
  if (g_moduleCount == sizeof g_modules / sizeof g_modules[0]) return nullptr;
  MappedModule& m = g_modules[g_moduleCount++];
  m.base = base;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(sizeof(Elf64_Ehdr))) {
    void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p != MAP_FAILED) {
      m.data = static_cast<const unsigned char*>(p);
      m.size = static_cast<size_t>(st.st_size);
    }
  }
  ::close(fd);
  if (m.data) {
    auto* eh = reinterpret_cast<const Elf64_Ehdr*>(m.data);
    if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64) {
      m.data = nullptr;
      return nullptr;
    }
  }
  return m.data ? &m : nullptr;
}

bool InFile(const MappedModule& m, uint64_t offset, uint64_t length) {
  return offset <= m.size && length <= m.size - offset;
}

const Elf64_Shdr* Sections(const MappedModule& m, size_t& count) {
  auto* eh = reinterpret_cast<const Elf64_Ehdr*>(m.data);
  count = eh->e_shnum;
  if (eh->e_shoff == 0 || eh->e_shentsize != sizeof(Elf64_Shdr) ||
      !InFile(m, eh->e_shoff, static_cast<uint64_t>(count) * sizeof(Elf64_Shdr))) {
    count = 0;
    return nullptr;
  }
  return reinterpret_cast<const Elf64_Shdr*>(m.data + eh->e_shoff);
}

// The difference between run-time addresses and the file's virtual addresses.
uintptr_t LoadBias(const MappedModule& m) {
  auto* eh = reinterpret_cast<const Elf64_Ehdr*>(m.data);
  if (eh->e_phentsize != sizeof(Elf64_Phdr) ||
      !InFile(m, eh->e_phoff, static_cast<uint64_t>(eh->e_phnum) * sizeof(Elf64_Phdr)))
    return m.base;
  auto* ph = reinterpret_cast<const Elf64_Phdr*>(m.data + eh->e_phoff);
  for (unsigned i = 0; i < eh->e_phnum; ++i)
    if (ph[i].p_type == PT_LOAD) return m.base - (ph[i].p_vaddr & ~static_cast<uint64_t>(kPageSize - 1));
  return m.base;
}

void FindSection(const MappedModule& m, uint64_t vaddr, CodeLocation& where) {
  size_t count;
  const Elf64_Shdr* sh = Sections(m, count);
  for (size_t i = 1; i < count; ++i) {
    if (!(sh[i].sh_flags & SHF_ALLOC)) continue;
    if (vaddr >= sh[i].sh_addr && vaddr < sh[i].sh_addr + sh[i].sh_size) {
      where.section = static_cast<unsigned>(i);
      where.sectionOffset = vaddr - sh[i].sh_addr;
      return;
    }
  }
}

// The name of the function containing `vaddr` from the symbol table, or the
// dynamic one when the file is stripped; null when none.
const char* FindSymbol(const MappedModule& m, uint64_t vaddr, uint64_t& start) {
  size_t count;
  const Elf64_Shdr* sh = Sections(m, count);
  for (uint32_t wanted : {SHT_SYMTAB, SHT_DYNSYM}) {
    for (size_t i = 1; i < count; ++i) {
      if (sh[i].sh_type != wanted || sh[i].sh_link >= count || sh[i].sh_entsize != sizeof(Elf64_Sym)) continue;
      const Elf64_Shdr& strings = sh[sh[i].sh_link];
      if (!InFile(m, sh[i].sh_offset, sh[i].sh_size) || !InFile(m, strings.sh_offset, strings.sh_size)) continue;
      auto* syms = reinterpret_cast<const Elf64_Sym*>(m.data + sh[i].sh_offset);
      size_t n = sh[i].sh_size / sizeof(Elf64_Sym);
      for (size_t k = 0; k < n; ++k) {
        const Elf64_Sym& s = syms[k];
        unsigned type = ELF64_ST_TYPE(s.st_info);
        if ((type != STT_FUNC && type != STT_GNU_IFUNC) || s.st_shndx == SHN_UNDEF || s.st_size == 0) continue;
        if (vaddr < s.st_value || vaddr >= s.st_value + s.st_size || s.st_name >= strings.sh_size) continue;
        const char* name = reinterpret_cast<const char*>(m.data + strings.sh_offset + s.st_name);
        if (!std::memchr(name, '\0', strings.sh_size - s.st_name)) continue;
        start = s.st_value;
        return name;
      }
    }
  }
  return nullptr;
}

void CopyText(char* out, size_t size, const char* text) {
  size_t n = std::strlen(text);
  if (n >= size) n = size - 1;
  std::memcpy(out, text, n);
  out[n] = '\0';
}

// Demangles into the buffer prepared before the crash (the demangler may
// still allocate for very long names; accepted in a crash).
void SetSymbol(CodeLocation& where, const char* mangled) {
  int status = -1;
  char* out = nullptr;
  if (g_demangleBuffer && mangled[0] == '_' && mangled[1] == 'Z') {
    size_t size = g_demangleSize;
    out = abi::__cxa_demangle(mangled, g_demangleBuffer, &size, &status);
    if (status == 0 && out) {
      g_demangleBuffer = out;
      g_demangleSize = size > g_demangleSize ? size : g_demangleSize;
    }
  }
  CopyText(where.symbol, sizeof where.symbol, status == 0 && out ? out : mangled);
}

}  // namespace

void PrepareLocating() {
  ssize_t n = ::readlink("/proc/self/exe", g_exePath, sizeof g_exePath - 1);
  g_exePath[n > 0 ? n : 0] = '\0';
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(::getauxval(AT_ENTRY)), &info) && info.dli_fbase)
    g_exeBase = reinterpret_cast<uintptr_t>(info.dli_fbase);
  if (!g_demangleBuffer) {
    g_demangleSize = 4096;
    g_demangleBuffer = static_cast<char*>(std::malloc(g_demangleSize));
  }
  // Once through every path the handler takes, so nothing is bound lazily
  // for the first time during a crash.
  CodeLocation warm;
  LocateAddress(reinterpret_cast<uintptr_t>(&PrepareLocating), reinterpret_cast<uintptr_t>(&PrepareLocating), warm);
}

void LocateAddress(uintptr_t address, uintptr_t lookup, CodeLocation& where) {
  where = CodeLocation{};
  Dl_info info{};
  if (!::dladdr(reinterpret_cast<void*>(lookup), &info) || !info.dli_fbase) return;
  uintptr_t base = reinterpret_cast<uintptr_t>(info.dli_fbase);
  const char* path = info.dli_fname && info.dli_fname[0] == '/' ? info.dli_fname : "";
  if (base == g_exeBase || !path[0]) path = g_exePath;
  CopyText(where.module, sizeof where.module, path);

  const MappedModule* m = path[0] ? MapModule(base, path) : nullptr;
  uint64_t start = 0;
  const char* name = nullptr;
  if (m) {
    uintptr_t bias = LoadBias(*m);
    FindSection(*m, address - bias, where);
    name = FindSymbol(*m, lookup - bias, start);
    if (name) start += bias;
  }
  if (!name && info.dli_sname && info.dli_saddr) {
    name = info.dli_sname;
    start = reinterpret_cast<uintptr_t>(info.dli_saddr);
  }
  if (name) {
    SetSymbol(where, name);
    where.symbolOffset = address - start;
  }
}

}  // namespace tarn::crash
