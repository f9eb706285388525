// The x86 variants of the conversion row operations. Each gives the same
// bytes as its plain kernel for any width; only whole vector steps use
// vector code, the rest of a row is finished by the next narrower variant.
#pragma once

#include <cstdint>

#include "convert/convert_kernels.h"

namespace avs {

// 16 pixels per step.
void RowYuy2Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowUyvySse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowBgr4Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowBgr3Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);

// 32 pixels per step.
void RowYuy2Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowUyvyAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowBgr4Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);
void RowBgr3Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width);

// Replace the packed and BGR slots of levels 1 to 3.
void InstallConvertKernelsSse2(ConvertKernelTable& table);
void InstallConvertKernelsAvx2(ConvertKernelTable& table);

}  // namespace avs
