// The driver library offers the host exactly the nineteen functions: any other exported name would
// be a symbol a host could bind to by accident, or one that clashes with the host's own.

#include <elf.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DriverLibrary.h"

namespace {

// Defined, globally visible names in the dynamic symbol table of a 64-bit ELF file.
std::vector<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> names;
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return names;

  std::vector<Elf64_Shdr> sections(header.e_shnum);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    std::memcpy(&sections[i], image.data() + header.e_shoff + i * header.e_shentsize, sizeof(Elf64_Shdr));
  }
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr& strings = sections.at(section.sh_link);
    for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size; offset += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, image.data() + section.sh_offset + offset, sizeof symbol);
      const unsigned binding = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0) continue;
      if (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE) continue;
      if (ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT && ELF64_ST_VISIBILITY(symbol.st_other) != STV_PROTECTED)
        continue;
      names.emplace_back(image.data() + strings.sh_offset + symbol.st_name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ExportedSymbols, AreExactlyTheNineteenFunctions) {
  std::vector<std::string> expected = ExportNames();
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(expected.size(), 19u);
  EXPECT_EQ(DefinedDynamicSymbols(KORVEX_LIBRARY_PATH), expected);
}

}  // namespace
