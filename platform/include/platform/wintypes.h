#pragma once
// The few fixed-size types and text containers that the system's interfaces are written in.
#include <cstdint>
#include <string>
#include <vector>

using BOOL = int;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using COLORREF = std::uint32_t;  // 0x00BBGGRR
using LPCSTR = const char*;
using LPSTR = char*;

// 8-bit text in the installation code page.
using CString = std::string;
using CStringArray = std::vector<std::string>;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

// A message taken from the user-interface thread's queue by a message pump.
struct MSG {
    int nDispatched = 0;  // events handled by the last pump call
};
