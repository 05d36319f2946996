// The published ids of the known folders the module asks for.
#pragma once

#include "platform/Guid.h"

namespace Strato {

// FOLDERID_System {1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}
inline constexpr Guid kFolderIdSystem{
    0x1AC14E77, 0x02E7, 0x4E5D, {0xB7, 0x44, 0x2E, 0xB1, 0xAE, 0x51, 0x98, 0xB7}};
// FOLDERID_ProgramData {62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}
inline constexpr Guid kFolderIdProgramData{
    0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
// FOLDERID_ProgramFilesCommon {F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}
inline constexpr Guid kFolderIdProgramFilesCommon{
    0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};

// KF_FLAG_CREATE: create the folder when it does not exist.
inline constexpr uint32_t kKnownFolderCreate = 0x8000;

} // namespace Strato
