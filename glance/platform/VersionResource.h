// The version resource primitives behind FileVersionInfo: the Win32 version
// calls on Windows; on Linux the table that a library exports
// (kestrel/ResourceTables.h), flattened into a block of our own layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Strato::internal {

// The version block of the file at `path`; false when it has none or cannot
// be read.
bool readVersionResource(const std::wstring& path, std::vector<uint8_t>& block);

// "\VarFileInfo\Translation": each entry language in the low 16 bits, code
// page in the high 16 bits. False when the block has no translation list.
bool queryVersionTranslations(const std::vector<uint8_t>& block,
                              std::vector<uint32_t>& translations);

// The text at `subBlock` ("\StringFileInfo\LLLLCCCC\Name"); false when absent.
bool queryVersionString(const std::vector<uint8_t>& block, const std::wstring& subBlock,
                        std::wstring& value);

} // namespace Strato::internal
