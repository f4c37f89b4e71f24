#include "support/import_table.h"

#include <cstring>

namespace qvtest {
namespace {

// The module's import descriptors, or null when it has none.
const IMAGE_IMPORT_DESCRIPTOR* ImportDescriptors(HMODULE module) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
  return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
}

// Calls visit(module name, lookup entry, address slot) for every imported function, until it
// returns false.
template <typename Visit>
void ForEachImport(HMODULE module, Visit visit) {
  auto* base = reinterpret_cast<BYTE*>(module);
  for (const IMAGE_IMPORT_DESCRIPTOR* d = ImportDescriptors(module); d && d->Name != 0; ++d) {
    const char* dll = reinterpret_cast<const char*>(base + d->Name);
    // The lookup table keeps the names; the address table was overwritten by the loader.
    const DWORD lookupRva = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
    auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookupRva);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; lookup->u1.AddressOfData != 0; ++lookup, ++slots) {
      if (!visit(dll, *lookup, reinterpret_cast<void**>(&slots->u1.Function))) return;
    }
  }
}

const char* ImportName(HMODULE module, const IMAGE_THUNK_DATA& entry) {
  if (IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)) return nullptr;
  const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
      reinterpret_cast<const BYTE*>(module) + entry.u1.AddressOfData);
  return reinterpret_cast<const char*>(byName->Name);
}

void WriteSlot(void** slot, void* value) {
  DWORD protection = 0;
  VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
  *slot = value;
  VirtualProtect(slot, sizeof(*slot), protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof(*slot));
}

}  // namespace

std::vector<ImportedFunction> ImportsOf(HMODULE module) {
  std::vector<ImportedFunction> imports;
  ForEachImport(module, [&](const char* dll, const IMAGE_THUNK_DATA& entry, void**) {
    ImportedFunction function;
    function.module = dll;
    if (const char* name = ImportName(module, entry)) {
      function.name = name;
    } else {
      function.ordinal = static_cast<WORD>(IMAGE_ORDINAL(entry.u1.Ordinal));
    }
    imports.push_back(function);
    return true;
  });
  return imports;
}

ScopedImportPatch::ScopedImportPatch(HMODULE module, const char* importedModule,
                                     const char* function, void* replacement) {
  ForEachImport(module, [&](const char* dll, const IMAGE_THUNK_DATA& entry, void** slot) {
    const char* name = ImportName(module, entry);
    if (_stricmp(dll, importedModule) != 0 || !name || std::strcmp(name, function) != 0)
      return true;
    slot_ = slot;
    original_ = *slot;
    WriteSlot(slot, replacement);
    return false;
  });
}

ScopedImportPatch::~ScopedImportPatch() {
  if (slot_) WriteSlot(slot_, original_);
}

}  // namespace qvtest
